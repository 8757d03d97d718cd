#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "REL/Version.h"

namespace REL {

struct Segment {
  std::uintptr_t proxyBase = 0;
  std::uintptr_t address = 0;
  std::size_t size = 0;
};

enum class SegmentName : std::size_t { textx, idata, rdata, data, pdata, tls, textw, gfids, total };

// What the plug-in knows of a loaded module: base, sections and product version.
class Module {
 public:
  // The record for the module at base, created on first request and kept for the process.
  static Module& ForBase(std::uintptr_t base);
  // The game executable's record (the process's main module).
  static Module& Game();

  std::uintptr_t base() const noexcept { return base_; }
  const Segment& segment(SegmentName name) const noexcept { return segments_[static_cast<std::size_t>(name)]; }
  const std::wstring& filename() const noexcept { return filename_; }
  const Version& version() const noexcept { return version_; }

 private:
  explicit Module(std::uintptr_t base);
  void load_segments();
  void load_version();

  std::uintptr_t base_;
  std::array<Segment, static_cast<std::size_t>(SegmentName::total)> segments_{};
  std::wstring filename_;
  Version version_;
};

}  // namespace REL
