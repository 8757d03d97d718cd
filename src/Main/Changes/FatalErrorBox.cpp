#include "Main/Changes/FatalErrorBox.h"

#include <windows.h>

#include <spdlog/spdlog.h>

#include "BrindlewickVersion.h"

namespace {

// The plug-in's name, " v", then its short version.
constexpr const char* kFatalCaption = BW_PLUGIN_NAME " v" BW_VERSION_TEXT;

}  // namespace

void ShowFatalErrorAndExit(const char* text) noexcept {
  try {
    // Without a display the box returns at once; the log keeps the reason.
    SPDLOG_CRITICAL("{}", text);
  } catch (...) {
  }
  MessageBoxA(nullptr, text, kFatalCaption, MB_OK);
  // A fatal error must not look like a clean exit to whoever started the game.
  TerminateProcess(GetCurrentProcess(), 1);
  __builtin_unreachable();
}
