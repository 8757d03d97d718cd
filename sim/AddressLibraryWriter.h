#pragma once
// Writes address library files in the packed format the plug-in reads, mixing every encoding
// the format has, as a real file does.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sim {

struct AddressEntry {
  std::uint64_t id;
  std::uint64_t offset;
};

struct AddressLibraryFile {
  std::int32_t format = 2;
  std::array<std::uint32_t, 4> version{1, 14, 70, 0};
  std::string executableName = "Starfield.exe";
  std::int32_t pointerSize = 8;
  std::int32_t extraDeclaredCount = 0;  // the header claims this many entries more than it holds
  std::vector<AddressEntry> entries;    // written in this order
};

std::vector<std::uint8_t> EncodeAddressLibrary(const AddressLibraryFile& file);
void WriteAddressLibrary(const std::filesystem::path& path, const AddressLibraryFile& file);

}  // namespace sim
