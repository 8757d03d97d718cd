#include "ChildActions.h"

#include <windows.h>

#include <cstdio>
#include <map>

namespace test {
namespace {

std::map<std::string, ChildAction>& Actions() {
  static std::map<std::string, ChildAction> actions;
  return actions;
}

}  // namespace

ChildActionRegistration::ChildActionRegistration(const char* name, ChildAction action) { Actions()[name] = action; }

ChildResult RunChild(const std::string& name, std::uint32_t timeoutMs) {
  wchar_t self[MAX_PATH]{};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return RunProcess(self, {"--child", name}, timeoutMs);
}

bool IsChildInvocation(int argc, char** argv) { return argc == 3 && std::string(argv[1]) == "--child"; }

int RunChildAction(int, char** argv) {
  const auto it = Actions().find(argv[2]);
  if (it == Actions().end()) {
    std::fprintf(stderr, "no child action named %s\n", argv[2]);
    return 99;
  }
  it->second();
  return 0;  // the fatal paths never get here; the parent tells an action that returned by this
}

}  // namespace test
