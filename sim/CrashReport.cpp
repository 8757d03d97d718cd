#include "CrashReport.h"

#include "LastWords.h"

#include <csignal>
#include <cstdio>

#include <fmt/format.h>

#include "ExitCodes.h"
#include "Text.h"

namespace sim {
namespace {

const char* ExceptionName(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: return "access violation";
    case EXCEPTION_IN_PAGE_ERROR: return "in-page error";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
    case EXCEPTION_PRIV_INSTRUCTION: return "privileged instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "integer divide by zero";
    case EXCEPTION_INT_OVERFLOW: return "integer overflow";
    case EXCEPTION_FLT_DIVIDE_BY_ZERO: return "floating-point divide by zero";
    case EXCEPTION_FLT_INVALID_OPERATION: return "floating-point invalid operation";
    case EXCEPTION_STACK_OVERFLOW: return "stack overflow";
    case EXCEPTION_BREAKPOINT: return "breakpoint";
    case EXCEPTION_DATATYPE_MISALIGNMENT: return "datatype misalignment";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return "array bounds exceeded";
    case EXCEPTION_NONCONTINUABLE_EXCEPTION: return "noncontinuable exception";
    case 0xC0000409: return "stack buffer overrun";
    case 0x20474343: return "uncaught C++ exception";
    default: return "exception";
  }
}

// "Brindlewick.dll+0x1234", or "no module" for code outside every loaded image.
std::string ModuleOffset(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCWSTR>(address), &module))
    return "no module";
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const auto name = PathText(std::filesystem::path(path).filename());
  return fmt::format("{}+0x{:X}", name,
                     reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(module));
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
  const auto& record = *info->ExceptionRecord;
  std::fprintf(stderr, "brindlewick-sim: crash: %s\n", DescribeCrash(record).c_str());
  const bool access = record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2;
  PrintLastWords(access ? record.ExceptionInformation[1] : 0);
  std::fflush(stdout);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), exit_code::kCrash);
  return EXCEPTION_EXECUTE_HANDLER;
}

// The C runtime's abort (std::terminate, an exception through a noexcept function) raises SIGABRT
// in whichever module called it; the runtime, and so the handler, is shared with the plug-in.
void ReportAbort(int) {
  std::fprintf(stderr,
               "brindlewick-sim: crash: abort (the C runtime's abort: std::terminate or an uncaught C++ "
               "exception)\n");
  PrintLastWords(0);
  std::fflush(stdout);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), exit_code::kCrash);
}

}  // namespace

std::string DescribeCrash(const EXCEPTION_RECORD& record) {
  auto text = fmt::format("{} (0x{:08X})", ExceptionName(record.ExceptionCode), record.ExceptionCode);
  if ((record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION || record.ExceptionCode == EXCEPTION_IN_PAGE_ERROR) &&
      record.NumberParameters >= 2) {
    const auto operation = record.ExceptionInformation[0];
    text += fmt::format(" {} address 0x{:016X}",
                        operation == 1   ? "writing"
                        : operation == 8 ? "executing"
                                         : "reading",
                        record.ExceptionInformation[1]);
  }
  return text + fmt::format(" at 0x{:016X} ({})", reinterpret_cast<std::uintptr_t>(record.ExceptionAddress),
                            ModuleOffset(record.ExceptionAddress));
}

void InstallCrashReport() {
  SetUnhandledExceptionFilter(&ReportCrash);
  std::signal(SIGABRT, &ReportAbort);
}

}  // namespace sim
