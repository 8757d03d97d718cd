// The address library: packed entries, the shared table and the lookups the plug-in reaches the game by.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "AddressLibraryWriter.h"
#include "ChildActions.h"
#include "GameFolder.h"
#include "GameModule.h"
#include "GameWorld.h"
#include "PluginLog.h"
#include "RE/IDs.h"
#include "REL/ID.h"
#include "REL/Module.h"
#include "SFSE/Logger.h"

namespace {

using Pairs = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

Pairs AsPairs(const std::vector<REL::IDOffsetPair>& table) {
  Pairs pairs;
  for (const auto& entry : table) pairs.emplace_back(entry.id, entry.offset);
  return pairs;
}

// Decodes count entries and insists that they used up every byte.
Pairs Decode(const std::vector<std::uint8_t>& bytes, std::size_t count, std::int32_t pointerSize = 8) {
  REL::ByteReader reader(bytes);
  std::vector<REL::IDOffsetPair> table(count);
  REL::IDDatabase::unpack_file(reader, {2, {}, pointerSize, static_cast<std::int32_t>(count)}, table);
  EXPECT_THROW(reader.read<std::uint8_t>(), REL::ByteReader::ShortRead) << "entries left bytes unread";
  return AsPairs(table);
}

// The child must end through the fatal report: exit code 1, its message the log's critical line.
test::ChildResult ExpectFatal(const char* action, const std::string& message) {
  test::RemovePluginLog();
  const auto child = test::RunChild(action);
  EXPECT_FALSE(child.timedOut) << action;
  EXPECT_EQ(child.exitCode, 1u) << action << ": " << child.output;
  const auto entries = test::LogEntries(test::ReadPluginLog());
  EXPECT_NE(std::ranges::find(entries, "critical|" + message), entries.end()) << test::ReadPluginLog();
  return child;
}

struct GameTable {
  sim::AddressLibraryFile header;  // the file's header fields, no entries
  std::vector<REL::IDOffsetPair> pairs;
};

// The game's own file, decoded here independently of the process-wide table.
GameTable ReadGameTable() {
  std::ifstream in(std::filesystem::path(REL::IDDatabase::addresslib_filename()), std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  REL::ByteReader reader(bytes);
  GameTable table;
  table.header.format = static_cast<std::int32_t>(reader.read<std::uint32_t>());
  for (auto& part : table.header.version) part = reader.read<std::uint32_t>();
  table.header.executableName.resize(reader.read<std::uint32_t>());
  for (auto& c : table.header.executableName) c = static_cast<char>(reader.read<std::uint8_t>());
  table.header.pointerSize = static_cast<std::int32_t>(reader.read<std::uint32_t>());
  table.pairs.resize(reader.read<std::uint32_t>());
  REL::IDDatabase::unpack_file(reader, {2, {}, table.header.pointerSize, 0}, table.pairs);
  return table;
}

TEST(AddressLibraryDecode, EveryCodeForIdAndOffsetRelativeToThePreviousEntry) {
  const std::vector<std::uint8_t> bytes = {
      0x00, 0xE8, 0x03, 0,    0,    0,    0,    0,    0,    0,    0,
      0,    0,    0x01, 0,    0,    0,                                   // both absolute 64-bit: 1000, 0x1'0000'0000
      0x21, 0x7F,                                                        // id + 1, offset + 0x7F
      0x12, 0xC8,                                                        // id + 200, offset + 1
      0x53, 0x64, 0x80, 0x01,                                            // id - 100, offset - 0x180
      0x35, 0x00, 0x01, 0x10,                                            // id - 0x100, offset - 0x10
      0x74, 0xFF, 0xFF, 0xEF, 0xBE, 0xAD, 0xDE,                          // id + 0xFFFF, offset 0xDEADBEEF
      0x47, 0x00, 0x00, 0xF0, 0x00, 0x34, 0x12,                          // id 0xF00000, offset + 0x1234
      0x66, 0xCD, 0xAB, 0x42, 0x00,                                      // id 0xABCD, offset 0x42
      0x06, 0x05, 0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // id 5, offset 64-bit
      0x30, 0x01, 0,    0,    0,    0,    0,    0,    0x80, 0xF1,        // id 64-bit, offset - 0xF1
      0x43, 0x02, 0x02, 0x01,                                            // id - 2, offset + 0x102 wraps past 2^64
  };
  // Decoded out of order; the table comes out sorted by ID.
  const Pairs expected = {
      {5, 0xFFFFFFFFFFFFFFF0},
      {845, 0xFFFFFEF0},
      {1000, 0x100000000},
      {1001, 0x10000007F},
      {1101, 0xFFFFFF00},
      {1201, 0x100000080},
      {0xABCD, 0x42},
      {66380, 0xDEADBEEF},
      {0xF00000, 0xDEADD123},
      {0x7FFFFFFFFFFFFFFF, 0x1},
      {0x8000000000000001, 0xFFFFFFFFFFFFFEFF},
  };
  EXPECT_EQ(Decode(bytes, 11), expected);
}

TEST(AddressLibraryDecode, ScaledOffsetsCountInPointerSizes) {
  const std::vector<std::uint8_t> first = {0x00, 100, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x20, 0, 0, 0, 0, 0, 0};
  auto after = [&](std::vector<std::uint8_t> rest) {
    auto bytes = first;
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
  };
  EXPECT_EQ(Decode(after({0x11}), 2), (Pairs{{100, 0x2000}, {101, 0x2001}}));
  EXPECT_EQ(Decode(after({0x91}), 2), (Pairs{{100, 0x2000}, {101, 0x2008}}));

  const std::vector<std::uint8_t> mixed = {
      0x00, 1,    0,    0,    0,    0, 0, 0, 0, 0x00, 0x01, 0, 0, 0, 0, 0, 0,  // (1, 0x100)
      0xA1, 0x03,                                                              // (0x100 / 4 + 3) * 4
      0xB1, 0x01,                                                              // (0x10C / 4 - 1) * 4
      0xF1, 0x10, 0x00, 0x00, 0x00,                                            // 0x10 * 4
      0x11,                                                                    // unscaled again: 0x40 + 1
      0x91,                                                                    // (0x41 / 4 + 1) * 4: divided first
  };
  EXPECT_EQ(Decode(mixed, 6, 4), (Pairs{{1, 0x100}, {2, 0x10C}, {3, 0x108}, {4, 0x40}, {5, 0x41}, {6, 0x44}}));
}

TEST(AddressLibraryDecode, AShuffledTableComesOutSortedWithDuplicatesInFileOrder) {
  // Large enough for the radix sort, with IDs over the whole 64-bit range and repeated IDs.
  sim::AddressLibraryFile file;
  std::uint64_t state = 12345;
  auto next = [&] { return state = state * 6364136223846793005u + 1442695040888963407u; };
  for (std::uint64_t i = 0; i < 5000; ++i) {
    const std::uint64_t id = i % 7 == 0 ? next() : (i % 5 == 0 ? 77 : next() >> (i % 40));
    file.entries.push_back({id, i * 8});
  }
  const auto bytes = sim::EncodeAddressLibrary(file);
  const std::size_t headerSize = 4 + 16 + 4 + file.executableName.size() + 4 + 4;
  const std::vector<std::uint8_t> entries(bytes.begin() + static_cast<std::ptrdiff_t>(headerSize), bytes.end());

  Pairs expected;
  for (const auto& entry : file.entries) expected.emplace_back(entry.id, entry.offset);
  std::stable_sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return a.first < b.first; });
  EXPECT_EQ(Decode(entries, file.entries.size()), expected);
}

TEST(AddressLibraryDecode, MissingBytesAreAShortRead) {
  const std::vector<std::vector<std::uint8_t>> truncated = {
      {0x11},                                   // the second entry's type byte
      {0x00, 1, 2, 3, 4, 5, 6, 7},              // 64-bit ID one byte short
      {0x70, 1, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3},  // 32-bit offset one byte short, after the ID
      {0x12},                                   // the ID's byte
  };
  for (const auto& bytes : truncated) {
    REL::ByteReader reader(bytes);
    std::vector<REL::IDOffsetPair> table(2);
    EXPECT_THROW(REL::IDDatabase::unpack_file(reader, {2, {}, 8, 2}, table), REL::ByteReader::ShortRead)
        << "first byte 0x" << std::hex << int(bytes[0]);
  }
}

void UnpackWithType(std::uint8_t type) {
  SFSE::log::init();
  const std::vector<std::uint8_t> bytes = {0x11, type, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  REL::ByteReader reader(bytes);
  std::vector<REL::IDOffsetPair> table(2);
  REL::IDDatabase::unpack_file(reader, {2, {}, 8, 2}, table);
}
CHILD_ACTION(AddressLibraryIdCode8) { UnpackWithType(0x18); }
CHILD_ACTION(AddressLibraryIdCode15) { UnpackWithType(0xFF); }

TEST(AddressLibraryDecode, IdCodesAbove7AreFatal) {
  ExpectFatal("AddressLibraryIdCode8", "unhandled type");
  ExpectFatal("AddressLibraryIdCode15", "unhandled type");
}

// A fresh table of its own (a version no one else uses), checked, then a lookup of an ID it lacks.
void LookUpMissingId(std::uint32_t minor, std::uint64_t missing) {
  SFSE::log::init();
  sim::AddressLibraryFile file;
  file.version = {7, minor, 0, 3};
  file.entries = {{20, 0x200}, {10, 0x100}, {30, 0x300}};
  // The parent's folder is current: it cleans up after us.
  const auto path = std::filesystem::current_path() / "table.bin";
  sim::WriteAddressLibrary(path, file);
  REL::IDDatabase database;
  database.load_file(path.wstring(), REL::Version{{7, static_cast<std::uint16_t>(minor), 0, 3}});
  const bool ok = database.decoded_here() && database.id2offset(10) == 0x100 && database.id2offset(20) == 0x200 &&
                  database.id2offset(30) == 0x300;
  std::fprintf(stderr, "%s\n", ok ? "table as written" : "table differs");
  std::fflush(stderr);
  database.id2offset(missing);
}
CHILD_ACTION(AddressLibraryIdBetween) { LookUpMissingId(1, 15); }
CHILD_ACTION(AddressLibraryIdBeyondLast) { LookUpMissingId(2, 31); }

TEST(AddressLibraryLookup, AnIdTheTableLacksIsFatalNotANeighbour) {
  const test::GameFolder folder;
  const auto message = [](int id) {
    return "Failed to find the id within the address library: " + std::to_string(id) +
           "\nCompiled IDDatabase version: 2\nThis means this script extender plugin is incompatible with the "
           "address library for this version of the game, and thus does not support it.";
  };
  for (const auto& [action, id] :
       {std::pair{"AddressLibraryIdBetween", 15}, std::pair{"AddressLibraryIdBeyondLast", 31}})
    EXPECT_NE(ExpectFatal(action, message(id)).output.find("table as written"), std::string::npos) << action;
}

TEST(AddressLibraryLookup, ModelledIdsResolveToTheGamesAddresses) {
  EXPECT_EQ(REL::Module::Game().base(), sim::ModuleBase());
  const auto modelled = sim::ModelledAddresses();
  ASSERT_FALSE(modelled.empty());
  for (const auto& [id, address] : modelled) EXPECT_EQ(REL::ResolveAddressLibraryID(id), address) << "ID " << id;
  EXPECT_EQ(REL::ResolveAddressLibraryID(RE::ID::ResetGame), sim::ResetGameAddress());
}

TEST(AddressLibraryShared, OneTableUnderThePlatformsNameServesEveryLoader) {
  ASSERT_EQ(GetModuleHandleW(L"steam_api64"), nullptr);
  EXPECT_EQ(REL::IDDatabase::platform(), 1);
  EXPECT_EQ(REL::IDDatabase::addresslib_filename(),
            std::filesystem::current_path().wstring() + L"\\Data\\SFSE\\Plugins\\versionlib-1-14-70-0-1.bin");

  // The section holds exactly the file's table, sorted.
  const auto game = ReadGameTable();
  ASSERT_GT(game.pairs.size(), 1u);
  EXPECT_TRUE(std::ranges::is_sorted(AsPairs(game.pairs)));
  HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, L"AddressLibrary-Offsets-v2-1-14-70-0-1");
  ASSERT_NE(section, nullptr);
  const auto* view =
      static_cast<const REL::IDOffsetPair*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, game.pairs.size() * 16));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(AsPairs({view, view + game.pairs.size()}), AsPairs(game.pairs));
  UnmapViewOfFile(view);
  CloseHandle(section);

  // A second loader with the same header but entries that would decode to other offsets takes that table.
  ASSERT_TRUE(REL::IDDatabase::get().decoded_here());
  const test::GameFolder folder;
  sim::AddressLibraryFile other = game.header;
  for (const auto& pair : game.pairs) other.entries.push_back({pair.id, pair.offset + 0x40});
  sim::WriteAddressLibrary(folder.path() / "other.bin", other);
  REL::IDDatabase second;
  second.load_file((folder.path() / "other.bin").wstring(), REL::Module::Game().version());
  EXPECT_FALSE(second.decoded_here());
  std::size_t differing = 0;
  for (const auto& pair : game.pairs) differing += second.id2offset(pair.id) != pair.offset;
  EXPECT_EQ(differing, 0u);
  EXPECT_EQ(REL::ResolveAddressLibraryID(RE::ID::ResetGame), sim::ResetGameAddress());
}

}  // namespace
