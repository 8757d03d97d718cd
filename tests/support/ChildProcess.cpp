#include "ChildProcess.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace test {
namespace {

std::wstring Quote(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  for (wchar_t c : argument) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  if (!quoted.empty() && quoted.back() == L'\\') quoted += L'\\';
  return quoted + L"\"";
}

// Arguments are UTF-8, whatever the Windows code page holds.
std::wstring Widen(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                           wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

}  // namespace

std::filesystem::path BinaryDirectory() {
  wchar_t path[MAX_PATH]{};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(path).parent_path();
}

ChildResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                       std::uint32_t timeoutMs) {
  const auto outputPath =
      std::filesystem::temp_directory_path() /
      ("bw-child-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64()) + ".txt");
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE output = CreateFileW(outputPath.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);

  std::wstring commandLine = Quote(program.wstring());
  for (const auto& argument : arguments) commandLine += L" " + Quote(Widen(argument));

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  ChildResult result;
  if (!CreateProcessW(program.wstring().c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    CloseHandle(output);
    result.exitCode = 0xFFFFFFFF;
    result.output = "cannot start " + program.string();
    return result;
  }
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_TIMEOUT) {
    result.timedOut = true;
    TerminateProcess(process.hProcess, 0xDEAD);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  result.exitCode = code;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(output);

  std::ifstream in(outputPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  result.output = text.str();
  in.close();
  std::error_code ignored;
  std::filesystem::remove(outputPath, ignored);
  return result;
}

}  // namespace test
