#include "CommandLine.h"

#include <windows.h>
#include <shellapi.h>

#include <CLI/CLI.hpp>

#include "Text.h"

namespace sim {

std::vector<std::string> Utf8Arguments() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> result;
  if (!arguments) return result;
  for (int i = 0; i < count; ++i) result.push_back(Utf8FromWide(arguments[i]));
  LocalFree(arguments);
  return result;
}

void ParseUtf8Arguments(CLI::App& app) {
  const auto arguments = Utf8Arguments();
  std::vector<const char*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  app.parse(static_cast<int>(argv.size()), argv.data());
}

}  // namespace sim
