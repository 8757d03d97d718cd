#pragma once
// The plug-in's own log lines: "[" + operation + "] " + message, written only while bLogging is on.
// Nothing is formatted while it is off.
#include <source_location>
#include <string_view>

#include <fmt/format.h>
#include <spdlog/spdlog.h>

#include "Helpers/PluginSettings.h"

namespace Log {

// The operation a line belongs to, and where in the source it was written.
struct Op {
  Op(const char* operation, std::source_location location = std::source_location::current()) noexcept
      : name(operation), where(location) {}
  std::string_view name;
  std::source_location where;
};

inline bool Enabled() noexcept { return PluginSettings.bLogging; }

void Write(spdlog::level::level_enum level, const Op& op, fmt::string_view format, fmt::format_args args);

template <class... Args>
void Info(Op op, fmt::format_string<Args...> format, Args&&... args) {
  if (Enabled()) Write(spdlog::level::info, op, format, fmt::make_format_args(args...));
}
template <class... Args>
void Warn(Op op, fmt::format_string<Args...> format, Args&&... args) {
  if (Enabled()) Write(spdlog::level::warn, op, format, fmt::make_format_args(args...));
}
template <class... Args>
void Error(Op op, fmt::format_string<Args...> format, Args&&... args) {
  if (Enabled()) Write(spdlog::level::err, op, format, fmt::make_format_args(args...));
}

// Written whatever the switch says, for the lines a reading of the settings owes the log either way:
// turning the shared switch on for them would let every other thread log meanwhile.
template <class... Args>
void InfoAlways(Op op, fmt::format_string<Args...> format, Args&&... args) {
  Write(spdlog::level::info, op, format, fmt::make_format_args(args...));
}
template <class... Args>
void ErrorAlways(Op op, fmt::format_string<Args...> format, Args&&... args) {
  Write(spdlog::level::err, op, format, fmt::make_format_args(args...));
}

}  // namespace Log
