#include "TempFolder.h"

#include <gtest/gtest.h>

#include "FolderTrees.h"

namespace test {

TempFolder::TempFolder(const std::wstring& prefix)
    : path_(sim::CreateUniqueFolder(sim::TemporaryDirectory(), prefix)) {}

TempFolder::~TempFolder() {
  if (const auto failures = RemoveTree(path_); !failures.empty()) ADD_FAILURE() << failures;
}

std::string RemoveTree(const std::filesystem::path& path) {
  std::string message;
  for (const auto& failure : sim::RemoveFolderTree(path)) message += "cannot remove " + failure + "\n";
  return message;
}

}  // namespace test
