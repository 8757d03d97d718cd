#include "SFSE/FatalError.h"

#include <windows.h>

#include <string>

#include <fmt/format.h>
#include <spdlog/spdlog.h>

namespace SFSE {
namespace {

std::wstring Widen(std::string_view text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<std::size_t>(std::max(length, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
  return result;
}

// The file name of the module this code is linked into, after the last '\' or '/'.
std::wstring OwnFileName() {
  HMODULE own = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnFileName), &own);
  wchar_t path[MAX_PATH]{};
  GetModuleFileNameW(own, path, MAX_PATH);
  std::wstring name = path;
  const auto slash = name.find_last_of(L"\\/");
  return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

}  // namespace

void ReportAndFail(std::string_view message, std::source_location where) noexcept {
  try {
    if (auto* logger = spdlog::default_logger_raw()) {
      logger->log(spdlog::source_loc{where.file_name(), static_cast<int>(where.line()), where.function_name()},
                  spdlog::level::critical, message);
      logger->flush();
    }
    const auto text = Widen(fmt::format("{}({}): {}", where.file_name(), where.line(), message));
    MessageBoxW(nullptr, text.c_str(), OwnFileName().c_str(), MB_OK);
  } catch (...) {
    // Ending the process matters more than the report.
  }
  TerminateProcess(GetCurrentProcess(), 1);
  __builtin_unreachable();
}

}  // namespace SFSE
