#include "Main/FatalErrorBox.h"

#include <windows.h>

#include <spdlog/spdlog.h>

#include "Main/PluginInfo.h"

void ShowFatalErrorAndExit(const char* text) noexcept {
  try {
    // Without a display the box returns at once; the log keeps the reason.
    SPDLOG_CRITICAL("{}", text);
  } catch (...) {
  }
  MessageBoxA(nullptr, text, PluginInfo::kFatalCaption, MB_OK);
  // A fatal error must not look like a clean exit to whoever started the game.
  TerminateProcess(GetCurrentProcess(), 1);
  __builtin_unreachable();
}
