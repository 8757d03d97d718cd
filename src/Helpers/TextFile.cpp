#include "Helpers/TextFile.h"

#include <fstream>
#include <iterator>

#include "Win/Text.h"

namespace TextFile {
namespace {

std::string FromUtf16(std::string_view bytes, bool bigEndian) {
  std::wstring wide(bytes.size() / 2, L'\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    wide[i] = static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  return Win::ToUtf8(wide);
}

}  // namespace

Contents Decode(std::string bytes) {
  const std::string_view view(bytes);
  if (view.starts_with("\xEF\xBB\xBF")) return {true, Encoding::Utf8WithMark, bytes.substr(3)};
  if (view.starts_with("\xFF\xFE")) return {true, Encoding::Utf16LE, FromUtf16(view.substr(2), false)};
  if (view.starts_with("\xFE\xFF")) return {true, Encoding::Utf16BE, FromUtf16(view.substr(2), true)};
  // Text never holds NUL; a file full of them is UTF-16 whose mark was lost.
  if (view.find('\0') != std::string_view::npos) return {true, Encoding::Utf16WithoutMark, {}};
  return {true, Encoding::Bytes, std::move(bytes)};
}

Contents Read(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return Decode(std::move(bytes));
}

const char* EncodingName(Encoding encoding) noexcept {
  switch (encoding) {
    case Encoding::Bytes: return "plain text";
    case Encoding::Utf8WithMark: return "UTF-8 with byte order mark";
    case Encoding::Utf16LE: return "UTF-16 little endian";
    case Encoding::Utf16BE: return "UTF-16 big endian";
    case Encoding::Utf16WithoutMark: return "UTF-16 without byte order mark";
  }
  return "unknown";
}

}  // namespace TextFile
