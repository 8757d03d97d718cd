#include "PluginMessages.h"

#include <mutex>

#include <spdlog/sinks/base_sink.h>

#include "Helpers/TextFile.h"

namespace check {
namespace {

class MemorySink final : public spdlog::sinks::base_sink<std::mutex> {
 public:
  explicit MemorySink(std::shared_ptr<std::vector<PluginMessage>> messages) : messages_(std::move(messages)) {}

 protected:
  void sink_it_(const spdlog::details::log_msg& message) override {
    const std::string_view payload(message.payload.data(), message.payload.size());
    PluginMessage entry{message.level, {}, std::string(payload), TextFile::CurrentLineNumber()};
    if (payload.starts_with('[')) {
      if (const auto close = payload.find("] "); close != std::string_view::npos) {
        entry.operation = std::string(payload.substr(1, close - 1));
        entry.text = std::string(payload.substr(close + 2));
      }
    }
    messages_->push_back(std::move(entry));
  }
  void flush_() override {}

 private:
  std::shared_ptr<std::vector<PluginMessage>> messages_;
};

}  // namespace

PluginMessages::PluginMessages()
    : previous_(spdlog::default_logger()), messages_(std::make_shared<std::vector<PluginMessage>>()) {
  auto logger = std::make_shared<spdlog::logger>("SFSE", std::make_shared<MemorySink>(messages_));
  logger->set_level(spdlog::level::info);  // as the plug-in's own logger
  spdlog::set_default_logger(std::move(logger));
}

PluginMessages::~PluginMessages() { spdlog::set_default_logger(previous_); }

std::vector<PluginMessage> PluginMessages::Take() {
  std::vector<PluginMessage> taken;
  taken.swap(*messages_);
  return taken;
}

std::string Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string Between(const std::string& text, const std::string& opening, const std::string& closing) {
  const auto start = text.find(opening);
  if (start == std::string::npos) return {};
  const auto from = start + opening.size();
  const auto end = text.rfind(closing);  // the last one: the text between may hold the closing too
  return text.substr(from, end == std::string::npos || end < from ? std::string::npos : end - from);
}

}  // namespace check
