#pragma once
// The address library file's bytes turned into its header and its (ID, offset) table. Standard library
// only: the plug-in decodes with it, and the native fuzz build runs it under the sanitizers.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace Parse {

struct IDOffsetPair {
  std::uint64_t id;
  std::uint64_t offset;
};
static_assert(sizeof(IDOffsetPair) == 16);

// Bounds-checked little-endian reader over the packed file; a short read throws ShortRead.
class ByteReader {
 public:
  struct ShortRead {};
  explicit ByteReader(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

  template <class T>
  T read() {
    if (bytes_.size() - position_ < sizeof(T)) throw ShortRead{};
    T value{};
    for (std::size_t i = 0; i < sizeof(T); ++i)
      value |= static_cast<T>(static_cast<T>(bytes_[position_ + i]) << (8 * i));
    position_ += sizeof(T);
    return value;
  }
  void skip(std::size_t count) {
    if (bytes_.size() - position_ < count) throw ShortRead{};
    position_ += count;
  }
  std::span<const std::uint8_t> unread() const noexcept { return bytes_.subspan(position_); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// A type byte whose ID code (low four bits) is 8 to 15.
struct UnhandledType {
  std::uint8_t type;
};

inline constexpr std::int32_t kAddressLibraryFormat = 2;

struct AddressLibraryHeader {
  std::int32_t format = 0;
  std::array<std::uint16_t, 4> version{};  // each number read modulo 65536
  std::int32_t pointerSize = 0;
  std::int32_t addressCount = 0;
};

// The format word alone: a format other than kAddressLibraryFormat is refused before anything else is read.
std::int32_t ReadAddressLibraryFormat(ByteReader& reader);
// Version, executable name (skipped), pointer size and count, which follow the format.
void ReadAddressLibraryHeaderRest(ByteReader& reader, AddressLibraryHeader& header);

// Decodes out.size() packed entries in file order. Throws ShortRead or UnhandledType.
void DecodeAddressLibraryEntries(ByteReader& reader, std::uint64_t pointerSize, std::span<IDOffsetPair> out);
// The same, then sorted by ID as SortByID does: the table lookups search.
void DecodeAddressLibraryTable(ByteReader& reader, std::uint64_t pointerSize, std::span<IDOffsetPair> out);

// Ascending by ID; entries of equal ID keep their file order.
void SortByID(std::span<IDOffsetPair> table);

}  // namespace Parse
