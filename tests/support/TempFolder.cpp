#include "TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "FolderTrees.h"

namespace test {

namespace {

// Wine starts its desktop process when a process first needs it (a message box), from that process:
// it inherits its current folder and open handles, and lives as long as any process uses the
// desktop. Started before any folder of ours is current and before any child's output file is
// open, it holds none of them.
bool DesktopStarted() {
  static const bool started = GetDesktopWindow() != nullptr;
  return started;
}

}  // namespace

TempFolder::TempFolder(const std::wstring& prefix)
    : path_((DesktopStarted(), sim::CreateUniqueFolder(sim::TemporaryDirectory(), prefix))) {}

TempFolder::~TempFolder() {
  if (const auto failures = RemoveTree(path_); !failures.empty()) ADD_FAILURE() << failures;
}

std::string RemoveTree(const std::filesystem::path& path) {
  std::string message;
  for (const auto& failure : sim::RemoveFolderTree(path)) message += "cannot remove " + failure + "\n";
  return message;
}

}  // namespace test
