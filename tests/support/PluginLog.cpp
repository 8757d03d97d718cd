#include "PluginLog.h"

#include <fstream>
#include <regex>
#include <sstream>

#include "SFSE/Logger.h"

namespace test {

std::filesystem::path PluginLogPath() {
  return SFSE::log::log_directory().value() / "Brindlewick - SFSE Plugin by Tamsryn.log";
}

std::string ReadPluginLog() {
  std::ifstream in(PluginLogPath(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void RemovePluginLog() {
  std::error_code ignored;
  std::filesystem::remove(PluginLogPath(), ignored);
}

std::vector<std::string> LogEntries(const std::string& logText) {
  static const std::regex header(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6}\] \[SFSE\] \[(\w+)\] \[[^\]]*:\d+\] )");
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (start < logText.size()) {
    auto end = logText.find("\r\n", start);
    if (end == std::string::npos) end = logText.size();
    const std::string line = logText.substr(start, end - start);
    std::smatch match;
    // Lines end in CRLF; a message's own line breaks are plain LF and stay inside its entry.
    if (std::regex_search(line, match, header)) entries.push_back(match[1].str() + "|" + match.suffix().str());
    start = end + 2;
  }
  return entries;
}

}  // namespace test
