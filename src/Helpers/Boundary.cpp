#include "Helpers/Boundary.h"

#include <spdlog/spdlog.h>

namespace Boundary {

void LogCaught(const char* operation, const char* what) noexcept {
  try {
    if (auto* logger = spdlog::default_logger_raw())
      logger->log(spdlog::level::critical, "[{}] caught {}; the game goes on without this step", operation, what);
  } catch (...) {
    // The log itself failed: nothing more can be said.
  }
}

}  // namespace Boundary
