#pragma once
// Where the game or the host calls into the plug-in, no exception may pass; one that arrives there is
// written at critical level, whatever the logging switch, so a player's log keeps the reason.
#include <exception>

namespace Boundary {

void LogCaught(const char* operation, const char* what) noexcept;

// Runs body; true when it returned, false when it threw (the exception is logged and dropped).
template <class Body>
bool Guarded(const char* operation, Body&& body) noexcept {
  try {
    body();
    return true;
  } catch (const std::exception& error) {
    LogCaught(operation, error.what());
  } catch (...) {
    LogCaught(operation, "an exception of unknown type");
  }
  return false;
}

}  // namespace Boundary
