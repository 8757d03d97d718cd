#pragma once
// Makes the default logger "SFSE" write "<level>|<message>" lines into memory for one test.
#include <functional>
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
  // Runs with each line once it is captured: lets a test act at a chosen point of the code it drives.
  void onLine(std::function<void(const std::string&)> action);

 private:
  using Action = std::function<void(const std::string&)>;
  std::shared_ptr<spdlog::logger> previous_;
  std::shared_ptr<std::vector<std::string>> lines_;
  std::shared_ptr<Action> action_ = std::make_shared<Action>();
};

}  // namespace test
