#include "CommandLine.h"

#include <windows.h>
#include <shellapi.h>

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

}  // namespace sim
