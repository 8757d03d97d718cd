#pragma once
// Runs a program as a child process with its output captured, and never waits for ever.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace test {

struct ChildResult {
  bool timedOut = false;
  std::uint32_t exitCode = 0;
  std::string output;  // standard output and standard error together
};

// environment: variables set for the child (UTF-8), on top of this process's own.
ChildResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                       std::uint32_t timeoutMs = 60000, const std::map<std::string, std::string>& environment = {});

// The folder of the running test executable, where the DLL and the sim lie too.
std::filesystem::path BinaryDirectory();

}  // namespace test
