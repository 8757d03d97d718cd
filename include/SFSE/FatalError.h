#pragma once
#include <source_location>
#include <string_view>

namespace SFSE {

// Logs at critical level, shows "<file>(<line>): <message>" in a message box captioned with the
// plug-in's file name, then terminates the process with exit code 1.
[[noreturn]] void ReportAndFail(std::string_view message,
                                std::source_location where = std::source_location::current()) noexcept;

}  // namespace SFSE
