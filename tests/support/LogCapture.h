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
  void clear();

 private:
  std::shared_ptr<spdlog::logger> previous_;
  std::shared_ptr<std::vector<std::string>> lines_;
};

}  // namespace test
