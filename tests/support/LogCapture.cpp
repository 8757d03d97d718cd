#include "LogCapture.h"

#include <algorithm>
#include <mutex>

#include <spdlog/sinks/base_sink.h>

namespace test {
namespace {

class MemorySink final : public spdlog::sinks::base_sink<std::mutex> {
 public:
  MemorySink(std::shared_ptr<std::vector<std::string>> lines,
             std::shared_ptr<std::function<void(const std::string&)>> action)
      : lines_(std::move(lines)), action_(std::move(action)) {}

 protected:
  void sink_it_(const spdlog::details::log_msg& message) override {
    lines_->push_back(std::string(spdlog::level::to_string_view(message.level).data()) + "|" +
                      std::string(message.payload.data(), message.payload.size()));
    if (*action_) (*action_)(lines_->back());
  }
  void flush_() override {}

 private:
  std::shared_ptr<std::vector<std::string>> lines_;
  std::shared_ptr<std::function<void(const std::string&)>> action_;
};

}  // namespace

LogCapture::LogCapture() : previous_(spdlog::default_logger()), lines_(std::make_shared<std::vector<std::string>>()) {
  auto logger = std::make_shared<spdlog::logger>("SFSE", std::make_shared<MemorySink>(lines_, action_));
  logger->set_level(spdlog::level::info);  // as the plug-in's own logger: debug lines never written
  spdlog::set_default_logger(std::move(logger));
}

LogCapture::~LogCapture() { spdlog::set_default_logger(previous_); }

std::vector<std::string> LogCapture::lines() const { return *lines_; }
void LogCapture::clear() { lines_->clear(); }
void LogCapture::onLine(std::function<void(const std::string&)> action) { *action_ = std::move(action); }

std::vector<std::string> LogCapture::linesOf(const std::string& operation) const {
  std::vector<std::string> found;
  for (const auto& line : *lines_)
    if (line.find("|[" + operation + "] ") != std::string::npos) found.push_back(line);
  return found;
}

bool LogCapture::contains(const std::string& line) const {
  return std::find(lines_->begin(), lines_->end(), line) != lines_->end();
}

}  // namespace test
