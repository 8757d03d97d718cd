// The tests' own folders: unique names, removed however deep and whatever their letters, and a
// removal that cannot happen fails the test that owns the folder, naming what stayed.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

#include "TempFolder.h"

namespace fs = std::filesystem;

namespace {

// Plain Win32 calls stop at MAX_PATH; these do not.
std::wstring Extended(const fs::path& path) { return L"\\\\?\\" + path.native(); }
bool Exists(const fs::path& path) { return GetFileAttributesW(Extended(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// Five Unicode folders deep, past 260 characters, with a file at the bottom.
fs::path DeepFile(const fs::path& root) {
  auto folder = root;
  for (int level = 0; level < 5; ++level) {
    folder /= L"\u00DCn\u00EFc\u00F8d\u00E9-\u043F\u0430\u043F\u043A\u0430-\u30D5\u30A9\u30EB\u30C0-" +
              std::wstring(40, L'x') + std::to_wstring(level);
    EXPECT_TRUE(CreateDirectoryW(Extended(folder).c_str(), nullptr)) << GetLastError();
  }
  const auto file = folder / L"\u0444\u0430\u0439\u043B.txt";
  HANDLE handle = CreateFileW(Extended(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  EXPECT_NE(handle, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(handle);
  EXPECT_GT(file.native().size(), 260u);
  return file;
}

std::string Utf8(const fs::path& path) {
  const auto text = path.u8string();
  return {text.begin(), text.end()};
}

}  // namespace

TEST(TempFolder, NamesAreNewFoldersOfTheirOwn) {
  const test::TempFolder first(L"bw-same-");
  const test::TempFolder second(L"bw-same-");
  EXPECT_NE(first.path(), second.path());
  for (const auto* folder : {&first, &second}) {
    EXPECT_TRUE(fs::is_directory(folder->path()));
    EXPECT_TRUE(fs::is_empty(folder->path()));
    EXPECT_EQ(folder->path().parent_path(), (fs::temp_directory_path() / "x").parent_path());
  }
}

TEST(TempFolder, AUnicodeTreePastMaxPathIsRemoved) {
  fs::path root, file;
  {
    const test::TempFolder folder;
    root = folder.path();
    file = DeepFile(root);
    ASSERT_TRUE(Exists(file));
  }
  EXPECT_FALSE(Exists(file));
  EXPECT_FALSE(Exists(root));
}

TEST(TempFolder, AFileHeldOpenFailsTheOwningTestWithItsPath) {
  std::optional<test::TempFolder> folder(std::in_place, L"bw-held-");
  const auto root = folder->path();
  const auto file = DeepFile(root);
  // Held the way an indexer or a leaked handle holds a file: others may read, none may delete.
  HANDLE held = CreateFileW(Extended(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_NONFATAL_FAILURE(folder.reset(), "cannot remove " + Utf8(file) + ": ");
  EXPECT_TRUE(Exists(file));
  CloseHandle(held);
  EXPECT_EQ(test::RemoveTree(root), "");
  EXPECT_FALSE(Exists(root));
}
