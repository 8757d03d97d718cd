// What the host reads from the DLL before it calls anything: the version record, byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "BrindlewickVersion.h"
#include "ChildActions.h"
#include "SFSE/Interfaces.h"

extern "C" bool SFSEPlugin_Load(const SFSE::LoadInterface* sfse);

namespace {

CHILD_ACTION(LoadWithNullInterface) { SFSEPlugin_Load(nullptr); }

void PutU32(std::vector<unsigned char>& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

TEST(PluginExports, VersionRecordIsTheHostsLayoutByteForByte) {
  HMODULE dll = LoadLibraryW((test::BinaryDirectory() / "Brindlewick.dll").wstring().c_str());
  ASSERT_NE(dll, nullptr);
  const auto* record = reinterpret_cast<const unsigned char*>(GetProcAddress(dll, "SFSEPlugin_Version"));
  ASSERT_NE(record, nullptr);
  ASSERT_NE(GetProcAddress(dll, "SFSEPlugin_Load"), nullptr);

  std::vector<unsigned char> expected(604, 0);
  PutU32(expected, 0, 1);
  // The build's version, packed as the host reads it: 5.2.0.0 is 0x05020000.
  PutU32(expected, 4, (BW_VERSION_MAJOR << 24) | (BW_VERSION_MINOR << 16) | (BW_VERSION_PATCH << 4) | BW_VERSION_BUILD);
  const char name[] = BW_PLUGIN_NAME;
  std::memcpy(&expected[8], name, sizeof(name) - 1);
  const char author[] = BW_PLUGIN_AUTHOR;
  std::memcpy(&expected[264], author, sizeof(author) - 1);
  PutU32(expected, 520, 2);
  PutU32(expected, 524, 8);
  PutU32(expected, 528, 0x010E0460);

  const std::vector<unsigned char> actual(record, record + 604);
  for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(actual[i], expected[i]) << "byte " << i;
  EXPECT_EQ(SFSE::MakeVersion(1, 14, 70, 0), 0x010E0460u);
}

TEST(PluginExports, ANullLoadInterfaceEndsTheGameWithItsReport) {
  const auto child = test::RunChild("LoadWithNullInterface");
  EXPECT_FALSE(child.timedOut);
  EXPECT_EQ(child.exitCode, 1u) << child.output;
  // No log file exists yet: the report goes to the default console logger.
  EXPECT_NE(child.output.find("interface is null"), std::string::npos) << child.output;
}

}  // namespace
