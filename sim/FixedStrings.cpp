#include "FixedStrings.h"

#include <map>
#include <mutex>

#include <fmt/format.h>

#include "GameForms.h"
#include "GameRules.h"

namespace sim {
namespace {

struct Strings {
  std::mutex lock;
  std::map<const RE::BSStringPoolEntry*, bool> made;  // entry -> still alive
  std::size_t live = 0;
};
Strings& State() {
  static Strings strings;
  return strings;
}

}  // namespace

RE::BSFixedString* CreateFixedString(RE::BSFixedString* string, const char* text, std::uint32_t) {
  string->data = MakeStringEntry(text ? text : "");
  auto& state = State();
  std::scoped_lock guard(state.lock);
  state.made[string->data] = true;
  ++state.live;
  return string;
}

// Releasing an empty string does nothing, as in the game; the string is empty afterwards.
void ReleaseFixedString(RE::BSFixedString* string) {
  if (!string || !string->data) return;
  auto& state = State();
  std::unique_lock guard(state.lock);
  const auto it = state.made.find(string->data);
  if (it != state.made.end()) {
    if (!it->second) {
      guard.unlock();
      StopOnBrokenRule(fmt::format("the fixed string \"{}\" was released twice", string->view()));
    }
    it->second = false;
    --state.live;
  }
  string->data = nullptr;
}

std::size_t LiveFixedStrings() {
  auto& state = State();
  std::scoped_lock guard(state.lock);
  return state.live;
}

}  // namespace sim
