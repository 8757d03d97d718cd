// Proves: the address library decoder never crashes or reads outside the file, refuses bad files only
// by its two exceptions, agrees entry by entry with a plain reading of the format, and hands back a
// table sorted by ID in which every ID maps to the offset the encoder wrote for it.
#include <algorithm>
#include <cstring>
#include <utility>

#include "FuzzInput.h"
#include "Parse/AddressLibrary.h"

namespace {

using Parse::ByteReader;
using Parse::IDOffsetPair;

// The format as written down, one value at a time: what the decoder's fast path must agree with.
std::uint64_t PlainValue(ByteReader& reader, unsigned code, std::uint64_t previous, std::uint8_t type) {
  switch (code) {
    case 0: return reader.read<std::uint64_t>();
    case 1: return previous + 1;
    case 2: return previous + reader.read<std::uint8_t>();
    case 3: return previous - reader.read<std::uint8_t>();
    case 4: return previous + reader.read<std::uint16_t>();
    case 5: return previous - reader.read<std::uint16_t>();
    case 6: return reader.read<std::uint16_t>();
    case 7: return reader.read<std::uint32_t>();
    default: throw Parse::UnhandledType{type};
  }
}

enum class Outcome { Decoded, ShortRead, UnhandledType };

template <class Body>
Outcome Run(Body&& body) {
  try {
    body();
    return Outcome::Decoded;
  } catch (const ByteReader::ShortRead&) {
    return Outcome::ShortRead;
  } catch (const Parse::UnhandledType&) {
    return Outcome::UnhandledType;
  }
}

Outcome PlainDecode(ByteReader& reader, std::uint64_t pointerSize, std::vector<IDOffsetPair>& out) {
  return Run([&] {
    std::uint64_t id = 0, offset = 0;
    for (auto& entry : out) {
      const auto type = reader.read<std::uint8_t>();
      const bool scaled = (type & 0x80) != 0;
      id = PlainValue(reader, type & 0x0F, id, type);
      if (scaled && pointerSize == 0) throw ByteReader::ShortRead{};
      offset = PlainValue(reader, (type >> 4) & 7, scaled ? offset / pointerSize : offset, type);
      if (scaled) offset *= pointerSize;
      entry = {id, offset};
    }
  });
}

bool SameEntries(const std::vector<IDOffsetPair>& a, const std::vector<IDOffsetPair>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](auto& x, auto& y) { return x.id == y.id && x.offset == y.offset; });
}

std::vector<IDOffsetPair> StableSorted(std::vector<IDOffsetPair> entries) {
  std::stable_sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.id < b.id; });
  return entries;
}

// The input as a whole file, header first.
void DecodeFile(std::span<const std::uint8_t> file) {
  ByteReader reader(file);
  Parse::AddressLibraryHeader header;
  try {
    header.format = Parse::ReadAddressLibraryFormat(reader);
    if (header.format != Parse::kAddressLibraryFormat) return;
    Parse::ReadAddressLibraryHeaderRest(reader, header);
  } catch (const ByteReader::ShortRead&) {
    return;
  }
  if (header.addressCount < 0 || header.pointerSize < 0) return;  // the loader refuses these
  const auto pointerSize = static_cast<std::uint64_t>(header.pointerSize);
  const auto entries = reader.unread();
  // Every entry takes a byte at least: a count beyond the bytes left must come up short.
  const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(header.addressCount), entries.size() + 1);

  std::vector<IDOffsetPair> plain(count), inOrder(count), table(count);
  ByteReader plainReader(entries), orderReader(entries), tableReader(entries);
  const auto expected = PlainDecode(plainReader, pointerSize, plain);
  const auto inOrderOutcome = Run([&] { Parse::DecodeAddressLibraryEntries(orderReader, pointerSize, inOrder); });
  const auto tableOutcome = Run([&] { Parse::DecodeAddressLibraryTable(tableReader, pointerSize, table); });
  FUZZ_CHECK(inOrderOutcome == expected);
  FUZZ_CHECK(tableOutcome == expected);
  if (count > entries.size()) FUZZ_CHECK(expected != Outcome::Decoded);
  if (expected != Outcome::Decoded) return;
  FUZZ_CHECK(SameEntries(inOrder, plain));
  FUZZ_CHECK(SameEntries(table, StableSorted(plain)));
  FUZZ_CHECK(orderReader.unread().size() == plainReader.unread().size());
}

// Bytes of the input taken in turn; zeros once it runs out.
struct Source {
  std::span<const std::uint8_t> bytes;
  std::uint8_t Byte() {
    if (bytes.empty()) return 0;
    const auto value = bytes[0];
    bytes = bytes.subspan(1);
    return value;
  }
  std::uint64_t Wide(unsigned count) {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < count; ++i) value |= std::uint64_t{Byte()} << (8 * i);
    return value;
  }
};

// The file being written: sized for the longest entries up front, so writing a value is a copy.
struct Writer {
  std::vector<std::uint8_t> bytes;
  std::size_t size = 0;

  explicit Writer(std::size_t capacity) : bytes(capacity) {}
  template <class T>
  void Put(T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) bytes[size++] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  // The bytes written, in a buffer of their size: a read past the file's end is caught.
  std::vector<std::uint8_t> Finish() {
    bytes.resize(size);
    bytes.shrink_to_fit();
    return std::move(bytes);
  }
};

// Appends the bytes that store value relative to previous under code; false (nothing appended) when
// the code cannot hold it.
bool Encode(Writer& out, unsigned code, std::uint64_t value, std::uint64_t previous) {
  const std::uint64_t up = value - previous, down = previous - value;
  switch (code) {
    case 0: out.Put<std::uint64_t>(value); return true;
    case 1: return up == 1;
    case 2: return up <= 0xFF && (out.Put<std::uint8_t>(static_cast<std::uint8_t>(up)), true);
    case 3: return down <= 0xFF && (out.Put<std::uint8_t>(static_cast<std::uint8_t>(down)), true);
    case 4: return up <= 0xFFFF && (out.Put<std::uint16_t>(static_cast<std::uint16_t>(up)), true);
    case 5: return down <= 0xFFFF && (out.Put<std::uint16_t>(static_cast<std::uint16_t>(down)), true);
    case 6: return value <= 0xFFFF && (out.Put<std::uint16_t>(static_cast<std::uint16_t>(value)), true);
    default: return value <= 0xFFFFFFFF && (out.Put<std::uint32_t>(static_cast<std::uint32_t>(value)), true);
  }
}

// A value near previous or anywhere, as the input says.
std::uint64_t NextValue(Source& source, std::uint64_t previous) {
  switch (source.Byte() % 6) {
    case 0: return previous + 1;
    case 1: return previous + source.Byte();
    case 2: return previous - source.Byte();
    case 3: return previous + source.Wide(2);
    case 4: return source.Wide(4);
    default: return source.Wide(8);
  }
}

// Entries made from the input, written with the codes the input picks (code 0 when one cannot hold the
// value), then read back through the header as the plug-in reads a file.
void RoundTrip(Source source) {
  static constexpr std::int32_t kPointerSizes[] = {8, 4, 1, 0, 3, 16};
  constexpr std::size_t kMostEntries = 256;
  const std::int32_t pointerSize = kPointerSizes[source.Byte() % std::size(kPointerSizes)];
  const std::size_t low = source.Byte();
  const std::size_t asked = low | (static_cast<std::size_t>(source.Byte() & 0x07) << 8);
  // Header (format, version, name length and up to 19 name bytes, pointer size, count), then entries
  // of a type byte and two 64-bit values at most.
  Writer file(4 + 16 + 4 + 19 + 8 + std::min({asked, source.bytes.size() / 3, kMostEntries}) * 17);
  file.Put<std::int32_t>(Parse::kAddressLibraryFormat);
  for (int i = 0; i < 4; ++i) file.Put<std::uint32_t>(static_cast<std::uint32_t>(source.Wide(4)));
  const std::size_t nameLength = source.Byte() % 20;
  file.Put<std::uint32_t>(static_cast<std::uint32_t>(nameLength));
  for (std::size_t i = 0; i < nameLength; ++i) file.Put<std::uint8_t>(source.Byte());
  // An entry draws three bytes at least: entries past what the input holds would all be the same
  // zero-made entry, and would make a short input cost as much as a long one. Past a few hundred
  // entries a round trip reaches no code of the merge sort or the decoder that fewer do not; the radix
  // sort (a bucket per entry or more) is the whole-file part's, whose entries take a byte each.
  const std::size_t count = std::min({asked, source.bytes.size() / 3, kMostEntries});
  file.Put<std::int32_t>(pointerSize);
  file.Put<std::int32_t>(static_cast<std::int32_t>(count));

  std::vector<IDOffsetPair> written(count);
  std::uint64_t id = 0, offset = 0;
  const auto scale = static_cast<std::uint64_t>(pointerSize);
  for (auto& entry : written) {
    const std::uint8_t codes = source.Byte();
    const std::uint64_t nextID = NextValue(source, id);
    std::uint64_t nextOffset = NextValue(source, offset);
    const bool scaled = scale > 0 && (codes & 0x80) != 0;
    if (scaled) nextOffset -= nextOffset % scale;
    const std::uint64_t stored = scaled ? nextOffset / scale : nextOffset;
    const std::uint64_t storedPrevious = scaled ? offset / scale : offset;
    const std::size_t typeAt = file.size;
    file.Put<std::uint8_t>(0);
    const unsigned idCode = Encode(file, codes & 7, nextID, id) ? (codes & 7) : (Encode(file, 0, nextID, id), 0);
    const unsigned offsetCode = Encode(file, (codes >> 4) & 7, stored, storedPrevious)
                                    ? ((codes >> 4) & 7)
                                    : (Encode(file, 0, stored, storedPrevious), 0);
    file.bytes[typeAt] = static_cast<std::uint8_t>(idCode | (offsetCode << 4) | (scaled ? 0x80 : 0));
    id = nextID;
    offset = nextOffset;
    entry = {id, offset};
  }

  const auto bytes = file.Finish();
  ByteReader reader(bytes);
  Parse::AddressLibraryHeader header;
  FUZZ_CHECK(Parse::ReadAddressLibraryFormat(reader) == Parse::kAddressLibraryFormat);
  Parse::ReadAddressLibraryHeaderRest(reader, header);
  FUZZ_CHECK(header.pointerSize == pointerSize && header.addressCount == static_cast<std::int32_t>(count));
  std::vector<IDOffsetPair> table(count);
  Parse::DecodeAddressLibraryTable(reader, scale, table);
  FUZZ_CHECK(reader.unread().empty());
  // The written entries stably sorted by ID: equal to it, the table is sorted, and a binary search for
  // an ID lands on the offset written first for it.
  FUZZ_CHECK(SameEntries(table, StableSorted(std::move(written))));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> rest(data + 1, size - 1);
  if (data[0] & 1)
    RoundTrip(Source{rest});
  else
    DecodeFile(rest);
  return 0;
}
