#include "AddressLibraryWriter.h"

#include <fstream>
#include <optional>
#include <stdexcept>

#include "Text.h"

namespace sim {
namespace {

template <class T>
void Put(std::vector<std::uint8_t>& out, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The bytes that store value relative to previous under code, or nothing when the code cannot.
std::optional<std::vector<std::uint8_t>> TryCode(std::uint8_t code, std::uint64_t value, std::uint64_t previous) {
  std::vector<std::uint8_t> bytes;
  const std::uint64_t up = value - previous;
  const std::uint64_t down = previous - value;
  switch (code) {
    case 0: Put<std::uint64_t>(bytes, value); return bytes;
    case 1:
      if (up != 1) return std::nullopt;
      return bytes;
    case 2:
      if (up > 0xFF) return std::nullopt;
      Put<std::uint8_t>(bytes, static_cast<std::uint8_t>(up));
      return bytes;
    case 3:
      if (down > 0xFF) return std::nullopt;
      Put<std::uint8_t>(bytes, static_cast<std::uint8_t>(down));
      return bytes;
    case 4:
      if (up > 0xFFFF) return std::nullopt;
      Put<std::uint16_t>(bytes, static_cast<std::uint16_t>(up));
      return bytes;
    case 5:
      if (down > 0xFFFF) return std::nullopt;
      Put<std::uint16_t>(bytes, static_cast<std::uint16_t>(down));
      return bytes;
    case 6:
      if (value > 0xFFFF) return std::nullopt;
      Put<std::uint16_t>(bytes, static_cast<std::uint16_t>(value));
      return bytes;
    case 7:
      if (value > 0xFFFFFFFF) return std::nullopt;
      Put<std::uint32_t>(bytes, static_cast<std::uint32_t>(value));
      return bytes;
  }
  return std::nullopt;
}

// The first code that fits, trying them in turn from start, so that a table uses all of them.
std::pair<std::uint8_t, std::vector<std::uint8_t>> Encode(std::size_t start, std::uint64_t value,
                                                          std::uint64_t previous) {
  for (std::size_t k = 0; k < 8; ++k) {
    const auto code = static_cast<std::uint8_t>((start + k) % 8);
    if (auto bytes = TryCode(code, value, previous)) return {code, std::move(*bytes)};
  }
  throw std::logic_error("code 0 always fits");
}

}  // namespace

std::vector<std::uint8_t> EncodeAddressLibrary(const AddressLibraryFile& file) {
  std::vector<std::uint8_t> out;
  Put<std::int32_t>(out, file.format);
  for (auto part : file.version) Put<std::uint32_t>(out, part);
  Put<std::uint32_t>(out, static_cast<std::uint32_t>(file.executableName.size()));
  out.insert(out.end(), file.executableName.begin(), file.executableName.end());
  Put<std::int32_t>(out, file.pointerSize);
  Put<std::int32_t>(out, static_cast<std::int32_t>(file.entries.size()) + file.extraDeclaredCount);

  std::uint64_t previousID = 0;
  std::uint64_t previousOffset = 0;
  const auto pointerSize = static_cast<std::uint64_t>(file.pointerSize);
  for (std::size_t i = 0; i < file.entries.size(); ++i) {
    const auto& entry = file.entries[i];
    const bool scaled = pointerSize > 0 && i % 3 == 1 && entry.offset % pointerSize == 0;
    const auto [idCode, idBytes] = Encode(i, entry.id, previousID);
    const auto [offsetCode, offsetBytes] =
        scaled ? Encode(i * 3 + 1, entry.offset / pointerSize, previousOffset / pointerSize)
               : Encode(i * 3 + 1, entry.offset, previousOffset);
    out.push_back(static_cast<std::uint8_t>(idCode | (offsetCode << 4) | (scaled ? 0x80 : 0)));
    out.insert(out.end(), idBytes.begin(), idBytes.end());
    out.insert(out.end(), offsetBytes.begin(), offsetBytes.end());
    previousID = entry.id;
    previousOffset = entry.offset;
  }
  return out;
}

void WriteAddressLibrary(const std::filesystem::path& path, const AddressLibraryFile& file) {
  const auto bytes = EncodeAddressLibrary(file);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + PathText(path));
}

}  // namespace sim
