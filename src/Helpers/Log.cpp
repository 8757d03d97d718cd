#include "Helpers/Log.h"

#include <iterator>

namespace Log {

void Write(spdlog::level::level_enum level, const Op& op, fmt::string_view format, fmt::format_args args) {
  auto* logger = spdlog::default_logger_raw();
  if (!logger || !logger->should_log(level)) return;
  fmt::memory_buffer line;
  fmt::format_to(std::back_inserter(line), "[{}] ", op.name);
  fmt::vformat_to(std::back_inserter(line), format, args);
  const spdlog::source_loc where{op.where.file_name(), static_cast<int>(op.where.line()), op.where.function_name()};
  logger->log(where, level, spdlog::string_view_t(line.data(), line.size()));
}

}  // namespace Log
