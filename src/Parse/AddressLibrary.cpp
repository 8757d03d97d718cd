#include "Parse/AddressLibrary.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <utility>

namespace Parse {
namespace {

static_assert(std::endian::native == std::endian::little, "values are loaded as the file stores them");

// What a value code does: value = (previous & keep) + (raw, negated when negate is all ones) + plusOne,
// where raw is the next `size` bytes.
struct Code {
  std::uint8_t size;
  std::uint64_t keep;
  std::uint64_t negate;
  std::uint64_t plusOne;
};
constexpr std::uint64_t kAll = ~std::uint64_t{0};
constexpr Code kCodes[8] = {
    {8, 0, 0, 0},    {0, kAll, 0, 1},    {1, kAll, 0, 0}, {1, kAll, kAll, 0},
    {2, kAll, 0, 0}, {2, kAll, kAll, 0}, {2, 0, 0, 0},    {4, 0, 0, 0},
};
constexpr std::uint64_t kSizeMask[9] = {0, 0xFF, 0xFFFF, 0, 0xFFFFFFFF, 0, 0, 0, kAll};

// The longest entry: type byte, 64-bit ID, 64-bit offset. With this much left, no read can come up short.
constexpr std::size_t kLongestEntry = 1 + 8 + 8;

std::uint64_t Apply(const Code& code, std::uint64_t previous, std::uint64_t raw) {
  return (previous & code.keep) + ((raw ^ code.negate) - code.negate) + code.plusOne;
}

// One value read through the bounds-checked reader, for the last entries of the file.
std::uint64_t DecodeChecked(ByteReader& reader, std::uint8_t code, std::uint64_t previous) {
  const auto& rule = kCodes[code];
  std::uint64_t raw = 0;
  switch (rule.size) {
    case 1: raw = reader.read<std::uint8_t>(); break;
    case 2: raw = reader.read<std::uint16_t>(); break;
    case 4: raw = reader.read<std::uint32_t>(); break;
    case 8: raw = reader.read<std::uint64_t>(); break;
    default: break;
  }
  return Apply(rule, previous, raw);
}

// Offsets are scaled by the pointer size; a power of two (every real file) divides by shifting.
struct Scale {
  std::uint64_t size;
  int shift;  // -1 when size is not a power of two

  explicit Scale(std::uint64_t pointerSize)
      : size(pointerSize), shift(std::has_single_bit(pointerSize) ? std::countr_zero(pointerSize) : -1) {}
  std::uint64_t Down(std::uint64_t value) const { return shift >= 0 ? value >> shift : value / size; }
  std::uint64_t Up(std::uint64_t value) const { return shift >= 0 ? value << shift : value * size; }
};

// Radix sort by ID: least significant digit first, so it is stable. Digits every ID shares cost no pass.
constexpr unsigned kDigitBits = 11;
constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;
constexpr std::uint64_t kDigitMask = kBuckets - 1;
constexpr unsigned kDigits = (64 + kDigitBits - 1) / kDigitBits;
// The decoder counts the two lowest digits on the way: a real table's IDs fit in them.
constexpr unsigned kCountedDigits = 2;
using Histogram = std::array<std::uint32_t, kBuckets>;

struct Digest {
  bool sorted = true;
  std::uint64_t varying = 0;  // the ID bits that differ between entries
  std::array<Histogram, kCountedDigits> counts{};
};

void Scatter(const IDOffsetPair* from, IDOffsetPair* to, std::size_t size, unsigned shift, Histogram& counts) {
  std::uint32_t start = 0;
  for (auto& bucket : counts) start += std::exchange(bucket, start);
  for (std::size_t i = 0; i < size; ++i) to[counts[(from[i].id >> shift) & kDigitMask]++] = from[i];
}

void RadixSort(std::span<IDOffsetPair> table, Digest& digest) {
  const auto scratch = std::make_unique_for_overwrite<IDOffsetPair[]>(table.size());
  IDOffsetPair* from = table.data();
  IDOffsetPair* to = scratch.get();
  Histogram counts;
  for (unsigned digit = 0; digit < kDigits; ++digit) {
    const unsigned shift = digit * kDigitBits;
    if (((digest.varying >> shift) & kDigitMask) == 0) continue;
    if (digit < kCountedDigits) {
      counts = digest.counts[digit];
    } else {
      counts.fill(0);
      for (std::size_t i = 0; i < table.size(); ++i) ++counts[(from[i].id >> shift) & kDigitMask];
    }
    Scatter(from, to, table.size(), shift, counts);
    std::swap(from, to);
  }
  if (from != table.data()) std::memcpy(table.data(), from, table.size_bytes());
}

void SortDigested(std::span<IDOffsetPair> table, Digest& digest) {
  if (digest.sorted) return;
  // A radix pass walks every bucket: below a bucket per entry, merging costs less than the buckets do.
  if (table.size() < kBuckets) {
    std::stable_sort(table.begin(), table.end(),
                     [](const IDOffsetPair& a, const IDOffsetPair& b) { return a.id < b.id; });
    return;
  }
  RadixSort(table, digest);
}

void Note(Digest& digest, std::uint64_t first, std::uint64_t previous, std::uint64_t id) {
  digest.sorted &= previous <= id;
  digest.varying |= id ^ first;
  for (unsigned digit = 0; digit < kCountedDigits; ++digit)
    ++digest.counts[digit][(id >> (digit * kDigitBits)) & kDigitMask];
}

// Byte counts of the eight codes, four bits each: shifting beats a table load in the entry-to-entry chain.
constexpr std::uint32_t kCodeSizes = 0x42221108;
constexpr unsigned SizeOf(unsigned code) { return (kCodeSizes >> (4 * code)) & 0xF; }

void Decode(ByteReader& reader, std::uint64_t pointerSize, std::span<IDOffsetPair> out, Digest& digest) {
  const Scale scale(pointerSize);
  std::uint64_t id = 0;
  std::uint64_t offset = 0;
  std::size_t i = 0;
  const auto unread = reader.unread();
  const std::uint8_t* at = unread.data();
  // Every entry that starts before this has all its bytes: read without checks.
  const std::uint8_t* const checkedFrom = unread.size() >= kLongestEntry ? at + unread.size() - kLongestEntry + 1 : at;
  for (; i < out.size() && at < checkedFrom; ++i) {
    const std::uint8_t type = *at++;
    const unsigned idCode = type & 0x0F;
    if (idCode > 7) throw UnhandledType{type};
    const unsigned offsetCode = (type >> 4) & 7;
    std::uint64_t raw;
    std::memcpy(&raw, at, sizeof raw);
    const unsigned idSize = SizeOf(idCode);
    const std::uint64_t previousID = id;
    id = Apply(kCodes[idCode], id, raw & kSizeMask[idSize]);
    at += idSize;
    const bool scaled = (type & 0x80) != 0;
    // A scaled entry with no pointer size cannot be decoded: the file is not one we can use.
    if (scaled && pointerSize == 0) throw ByteReader::ShortRead{};
    std::memcpy(&raw, at, sizeof raw);
    const unsigned offsetSize = SizeOf(offsetCode);
    raw &= kSizeMask[offsetSize];
    at += offsetSize;
    if (scaled)
      offset = scale.Up(Apply(kCodes[offsetCode], scale.Down(offset), raw));
    else
      offset = Apply(kCodes[offsetCode], offset, raw);
    out[i] = {id, offset};
    Note(digest, out[0].id, i == 0 ? id : previousID, id);
  }
  reader.skip(static_cast<std::size_t>(at - unread.data()));
  // The last few entries, through the bounds-checked reader.
  for (; i < out.size(); ++i) {
    const auto type = reader.read<std::uint8_t>();
    const std::uint8_t idCode = type & 0x0F;
    if (idCode > 7) throw UnhandledType{type};
    const std::uint64_t previousID = id;
    id = DecodeChecked(reader, idCode, id);
    const bool scaled = (type & 0x80) != 0;
    if (scaled && pointerSize == 0) throw ByteReader::ShortRead{};
    const auto base = scaled ? scale.Down(offset) : offset;
    offset = DecodeChecked(reader, (type >> 4) & 7, base);
    if (scaled) offset = scale.Up(offset);
    out[i] = {id, offset};
    Note(digest, out[0].id, i == 0 ? id : previousID, id);
  }
}

}  // namespace

std::int32_t ReadAddressLibraryFormat(ByteReader& reader) {
  return static_cast<std::int32_t>(reader.read<std::uint32_t>());
}

void ReadAddressLibraryHeaderRest(ByteReader& reader, AddressLibraryHeader& header) {
  for (auto& part : header.version) part = static_cast<std::uint16_t>(reader.read<std::uint32_t>() % 65536);
  reader.skip(reader.read<std::uint32_t>());  // executable name: not used
  header.pointerSize = static_cast<std::int32_t>(reader.read<std::uint32_t>());
  header.addressCount = static_cast<std::int32_t>(reader.read<std::uint32_t>());
}

void DecodeAddressLibraryEntries(ByteReader& reader, std::uint64_t pointerSize, std::span<IDOffsetPair> out) {
  Digest digest;
  Decode(reader, pointerSize, out, digest);
}

void DecodeAddressLibraryTable(ByteReader& reader, std::uint64_t pointerSize, std::span<IDOffsetPair> out) {
  Digest digest;
  Decode(reader, pointerSize, out, digest);
  SortDigested(out, digest);
}

void SortByID(std::span<IDOffsetPair> table) {
  Digest digest;
  for (std::size_t i = 0; i < table.size(); ++i)
    Note(digest, table[0].id, i == 0 ? table[0].id : table[i - 1].id, table[i].id);
  SortDigested(table, digest);
}

}  // namespace Parse
