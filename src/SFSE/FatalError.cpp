#include "SFSE/FatalError.h"

#include <windows.h>

#include <string>

#include <fmt/format.h>
#include <spdlog/spdlog.h>

#include "Win/ModulePath.h"
#include "Win/Text.h"

namespace SFSE {
namespace {

// The file name of the module this code is linked into, after the last '\' or '/'.
std::wstring OwnFileName() {
  std::wstring name = Win::ModulePath(Win::ModuleOf(reinterpret_cast<const void*>(&OwnFileName))).wstring();
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
    const auto text = Win::FromUtf8(fmt::format("{}({}): {}", where.file_name(), where.line(), message));
    MessageBoxW(nullptr, text.c_str(), OwnFileName().c_str(), MB_OK);
  } catch (...) {
    // Ending the process matters more than the report.
  }
  TerminateProcess(GetCurrentProcess(), 1);
  __builtin_unreachable();
}

}  // namespace SFSE
