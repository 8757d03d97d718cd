#include "TemporaryGameFolder.h"

#include <windows.h>

#include <iostream>
#include <string>

#include "ExitCodes.h"
#include "FolderTrees.h"
#include "Text.h"

namespace sim {
namespace {

std::wstring OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// The game ends on Ctrl+C by itself; the sim stays to clean up after it.
BOOL WINAPI OutliveTheGame(DWORD) { return TRUE; }

void Inheritable(DWORD which) {
  if (HANDLE handle = GetStdHandle(which); handle && handle != INVALID_HANDLE_VALUE)
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

// Starts the game and returns its exit code; a game the sim cannot start counts as bad input.
int PlayGame(const std::filesystem::path& game) {
  const auto program = OwnPath();
  // A folder name never ends in a backslash or holds a quote, so plain quotes keep it one argument.
  std::wstring commandLine = std::wstring(GetCommandLineW()) + L" --game-dir \"" + game.native() + L"\"";
  Inheritable(STD_INPUT_HANDLE);
  Inheritable(STD_OUTPUT_HANDLE);
  Inheritable(STD_ERROR_HANDLE);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  // Whoever ends the sim ends the game with it.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  }
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                      &startup, &process)) {
    std::cerr << "brindlewick-sim: cannot start the game (error " << GetLastError() << ")\n";
    if (job) CloseHandle(job);
    return exit_code::kBadInput;
  }
  if (job) AssignProcessToJobObject(job, process.hProcess);
  SetConsoleCtrlHandler(OutliveTheGame, TRUE);
  ResumeThread(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = exit_code::kCrash;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (job) CloseHandle(job);
  return static_cast<int>(code);
}

}  // namespace

int RunInTemporaryGameFolder(bool keep) {
  // Under wine the desktop process starts from the first process that needs it and takes that
  // process's current folder: from the game, the folder it plays in, which then cannot be removed.
  GetDesktopWindow();
  std::filesystem::path game;
  try {
    game = CreateUniqueFolder(TemporaryDirectory(), L"brindlewick-game-");
  } catch (const std::exception& error) {
    std::cerr << "brindlewick-sim: " << error.what() << "\n";
    return exit_code::kBadInput;
  }
  const int code = PlayGame(game);
  std::cout << std::flush;
  if (keep) {
    std::cerr << "brindlewick-sim: the game folder is kept: " << PathText(game) << "\n";
    return code;
  }
  for (const auto& failure : RemoveFolderTree(game)) std::cerr << "brindlewick-sim: cannot remove " << failure << "\n";
  return code;
}

}  // namespace sim
