// Decoding and looking up a table the size of a real game's (about a million entries).
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

#include "AddressLibraryWriter.h"
#include "Harness.h"
#include "REL/ID.h"

namespace {

constexpr std::size_t kEntries = 1'000'000;

sim::AddressLibraryFile MakeTable(bool ascending) {
  sim::AddressLibraryFile file;
  std::mt19937_64 random(7);
  std::uint64_t id = 0, offset = 0x1000;
  for (std::size_t i = 0; i < kEntries; ++i) {
    id += 1 + random() % 4;
    offset += 8 * (1 + random() % 64);
    file.entries.push_back({id, offset});
  }
  if (!ascending) std::shuffle(file.entries.begin(), file.entries.end(), random);
  return file;
}

}  // namespace

void RunAddressLibraryBenchmarks() {
  for (const bool ascending : {true, false}) {
    const auto bytes = sim::EncodeAddressLibrary(MakeTable(ascending));
    // The header is 4 + 16 + 4 + name + 4 + 4 bytes; the entries follow.
    const std::size_t headerSize = 4 + 16 + 4 + std::string("Starfield.exe").size() + 4 + 4;
    REL::IDDatabase::Header header{2, {}, 8, static_cast<std::int32_t>(kEntries)};
    std::vector<REL::IDOffsetPair> table(kEntries);
    const auto result =
        bench::Measure(ascending ? "address library: decode 1M entries (ascending)"
                                 : "address library: decode + sort 1M entries (shuffled)",
                       5, [&] {
                         REL::ByteReader reader(std::span<const std::uint8_t>(bytes).subspan(headerSize));
                         REL::IDDatabase::unpack_file(reader, header, table);
                       });
    bench::Print(result, kEntries, "entry");
  }

  // What the load is held against: one copy of a table's worth of memory.
  {
    std::vector<REL::IDOffsetPair> from(kEntries, {1, 2}), to(kEntries);
    const auto copy = bench::Measure("address library: memory copy of the 16 MB table", 5, [&] {
      std::memcpy(to.data(), from.data(), kEntries * sizeof(REL::IDOffsetPair));
    });
    bench::Print(copy, kEntries, "entry");
    // What any load pays at least: the table written into a section made for it, whose pages are
    // new to the process.
    const auto bytes = kEntries * sizeof(REL::IDOffsetPair);
    const auto fresh = bench::Measure("address library: memory copy into a new 16 MB section", 5, [&] {
      const HANDLE section =
          CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(bytes), nullptr);
      void* view = section ? MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, bytes) : nullptr;
      if (view) std::memcpy(view, from.data(), bytes);
      if (view) UnmapViewOfFile(view);
      if (section) CloseHandle(section);
    });
    bench::Print(fresh, kEntries, "entry");
  }

  // The whole load as the plug-in does it: read the file, create the shared section, decode, sort.
  const auto path = std::filesystem::temp_directory_path() / "bw-bench-versionlib.bin";
  REL::IDDatabase database;
  sim::AddressLibraryFile file;
  for (const bool ascending : {false, true}) {
    file = MakeTable(ascending);
    file.version = {1, 14, 70, 0};
    sim::WriteAddressLibrary(path, file);
    const auto load = bench::Measure(
        ascending ? "address library: load_file 1M entries" : "address library: load_file 1M entries (shuffled)", 5,
        [&] {
          database.load_file(path.wstring(), REL::Version{{1, 14, 70, 0}});
        });
    bench::Print(load, kEntries, "entry");
  }

  std::vector<std::uint64_t> ids;
  std::mt19937_64 random(11);
  for (int i = 0; i < 1'000'000; ++i) ids.push_back(file.entries[random() % file.entries.size()].id);
  std::uint64_t sink = 0;
  const auto lookups = bench::Measure("address library: id2offset, 1M random lookups", 5, [&] {
    for (const auto id : ids) sink += database.id2offset(id);
  });
  bench::Print(lookups, static_cast<double>(ids.size()), "lookup");
  if (sink == 42) std::puts("");  // keeps the lookups from being optimised away
  std::filesystem::remove(path);
}
