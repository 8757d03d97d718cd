#pragma once
// Makes the default logger "SFSE" write "<level>|<message>" lines into memory for one test.
#include <memory>
#include <string>
#include <vector>

#include <spdlog/spdlog.h>

namespace test {

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::vector<std::string> lines() const;
  // The lines of one operation ("<level>|[operation] ..."), in order.
  std::vector<std::string> linesOf(const std::string& operation) const;
  bool contains(const std::string& line) const;
  void clear();

 private:
  std::shared_ptr<spdlog::logger> previous_;
  std::shared_ptr<std::vector<std::string>> lines_;
};

}  // namespace test
