#pragma once
#include <cstddef>
#include <cstdint>

#include "RE/B/BSTEvent.h"

namespace RE {

// The game's UI singleton. Its menu open/close event source is embedded in it.
struct UI {
  static constexpr std::size_t kMenuOpenCloseEventSourceOffset = 0x18;

  BSTEventSource* MenuOpenCloseEventSource() noexcept {
    return reinterpret_cast<BSTEventSource*>(reinterpret_cast<std::byte*>(this) + kMenuOpenCloseEventSourceOffset);
  }
};

}  // namespace RE
