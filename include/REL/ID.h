#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <string>

#include "Parse/AddressLibrary.h"
#include "REL/Version.h"

namespace REL {

// The file's decoding lives with the other byte parsers; these are its names in the address binding.
using IDOffsetPair = Parse::IDOffsetPair;
using ByteReader = Parse::ByteReader;

class IDDatabase {
 public:
  static constexpr std::int32_t kFormat = Parse::kAddressLibraryFormat;

  struct Header {
    std::int32_t format = 0;
    Version version;
    std::int32_t pointerSize = 0;
    std::int32_t addressCount = 0;
  };

  // The process-wide table that ResolveAddressLibraryID reads.
  static IDDatabase& get();

  IDDatabase() = default;
  IDDatabase(const IDDatabase&) = delete;
  IDDatabase& operator=(const IDDatabase&) = delete;
  ~IDDatabase();

  // Current directory + Data\SFSE\Plugins\versionlib-<version>[-<platform>].bin; fatal when missing.
  static std::wstring addresslib_filename();
  // 0 (Steam) when steam_api64 is loaded in the process, 1 (Microsoft Store) otherwise.
  static int platform();

  // Reads the file into the shared table, or takes the table another loader already decoded.
  bool load_file(const std::wstring& path, const Version& gameVersion);
  // Decodes header.addressCount packed entries into out, then sorts them by ID.
  static void unpack_file(ByteReader& reader, const Header& header, std::span<IDOffsetPair> out);

  // Loads the game's library on first use; fatal for an ID the table does not hold.
  std::uint64_t id2offset(std::uint64_t id);
  bool decoded_here() const noexcept { return decodedHere_; }

 private:
  void ensure_loaded();
  void release_mapping() noexcept;

  std::mutex loadLock_;
  bool loaded_ = false;
  bool decodedHere_ = false;
  void* mapping_ = nullptr;
  IDOffsetPair* view_ = nullptr;
  std::span<const IDOffsetPair> table_;
};

// Address in the running game of the function or singleton named by id.
std::uintptr_t ResolveAddressLibraryID(std::uint64_t id);

// The same, looked up once: the game's addresses do not move while it runs.
template <std::uint64_t ID>
std::uintptr_t GameAddress() {
  static const std::uintptr_t address = ResolveAddressLibraryID(ID);
  return address;
}

}  // namespace REL
