#pragma once
// The plug-in's own log lines, caught in memory instead of its log file, each with the number of the
// data file line the plug-in was handling when it wrote it.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <spdlog/spdlog.h>

namespace check {

struct PluginMessage {
  spdlog::level::level_enum level;
  std::string operation;  // the "[operation]" of the line
  std::string text;       // what follows it
  std::size_t line;       // 0 when no data file line was being handled
};

// Makes the plug-in's logger write into memory while it lives.
class PluginMessages {
 public:
  PluginMessages();
  ~PluginMessages();
  PluginMessages(const PluginMessages&) = delete;
  PluginMessages& operator=(const PluginMessages&) = delete;

  // The messages written since the last call.
  std::vector<PluginMessage> Take();

 private:
  std::shared_ptr<spdlog::logger> previous_;
  std::shared_ptr<std::vector<PluginMessage>> messages_;
};

// The text without the blanks and tabs around it.
std::string Trimmed(std::string_view text);

// The text between the first opening and the last closing, empty when opening is absent.
std::string Between(const std::string& text, const std::string& opening, const std::string& closing);

}  // namespace check
