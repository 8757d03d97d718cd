#include "ChildProcess.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "TempFolder.h"
#include "Win/Text.h"

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

// This process's environment block with the given variables set; names compare without case, as
// Windows compares them.
std::wstring EnvironmentBlock(const std::map<std::string, std::string>& overrides) {
  std::map<std::wstring, std::wstring> changed;
  for (const auto& [name, value] : overrides) changed[Widen(name)] = Widen(value);
  const auto sameName = [](std::wstring_view entry, const std::wstring& name) {
    return entry.size() > name.size() && entry[name.size()] == L'=' &&
           CompareStringOrdinal(entry.data(), static_cast<int>(name.size()), name.data(), static_cast<int>(name.size()),
                                TRUE) == CSTR_EQUAL;
  };
  std::wstring block;
  wchar_t* own = GetEnvironmentStringsW();
  for (const wchar_t* entry = own; *entry; entry += wcslen(entry) + 1) {
    const std::wstring_view text = entry;
    if (std::none_of(changed.begin(), changed.end(),
                     [&](const auto& variable) { return sameName(text, variable.first); }))
      block.append(text) += L'\0';
  }
  FreeEnvironmentStringsW(own);
  for (const auto& [name, value] : changed) block += name + L"=" + value + L'\0';
  return block + L'\0';
}

}  // namespace

std::filesystem::path BinaryDirectory() {
  wchar_t path[MAX_PATH]{};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(path).parent_path();
}

ChildResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                       std::uint32_t timeoutMs, const std::map<std::string, std::string>& environment) {
  const TempFolder folder(L"bw-child-");
  const auto outputPath = folder / "output.txt";
  // What the child makes in its temporary folder goes with this folder, even when the child ends
  // without running its destructors (a fatal report, a crash, a time-out).
  auto childEnvironment = environment;
  const auto childTemp = folder / "temp";
  std::filesystem::create_directories(childTemp);
  for (const char* name : {"TMP", "TEMP"}) childEnvironment.try_emplace(name, Win::ToUtf8(childTemp.wstring()));
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
  auto environmentBlock = EnvironmentBlock(childEnvironment);
  if (!CreateProcessW(program.wstring().c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                      environmentBlock.data(), nullptr, &startup, &process)) {
    const auto error = GetLastError();
    CloseHandle(output);
    result.exitCode = 0xFFFFFFFF;
    result.output = "cannot start " + program.string() + " (error " + std::to_string(error) + ")";
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
  return result;
}

}  // namespace test
