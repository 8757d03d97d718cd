#include "Text.h"

#include <charconv>
#include <stdexcept>

#include <windows.h>

namespace sim {
namespace {

std::string Narrow(std::wstring_view text, unsigned codePage) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(std::max(length, 0)), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), size, result.data(), length, nullptr, nullptr);
  return result;
}

std::wstring Widen(std::string_view text, unsigned codePage) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring result(static_cast<std::size_t>(std::max(length, 0)), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, result.data(), length);
  return result;
}

// The length of the valid UTF-8 sequence starting at text[i], or 0 when it is not one.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  return length;
}

}  // namespace

std::string Utf8FromWide(std::wstring_view text) { return Narrow(text, CP_UTF8); }
std::wstring WideFromUtf8(std::string_view text) { return Widen(text, CP_UTF8); }
std::string Utf8FromCodePage(std::string_view text) { return Narrow(Widen(text, CP_ACP), CP_UTF8); }

std::string PathText(const std::filesystem::path& path) { return Utf8FromWide(path.native()); }
std::filesystem::path PathFromUtf8(std::string_view text) { return std::filesystem::path(WideFromUtf8(text)); }

std::string ValidUtf8(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (const auto length = SequenceLength(text, i)) {
      result.append(text.substr(i, length));
      i += length;
    } else {
      result += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return result;
}

std::string EncodeEscapes(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\')
      text += "\\\\";
    else if (c == '\r')
      text += "\\r";
    else if (c == '\n')
      text += "\\n";
    else if (c == '\t')
      text += "\\t";
    else if (byte >= 0x20 && byte < 0x7F && c != '#')
      text += c;  // "#" would start a comment
    else
      text += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
  }
  return text;
}

std::string DecodeEscapes(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
      continue;
    }
    if (++i == text.size()) throw std::runtime_error("the text ends in a lone '\\'");
    switch (text[i]) {
      case '\\': bytes += '\\'; break;
      case 'r': bytes += '\r'; break;
      case 'n': bytes += '\n'; break;
      case 't': bytes += '\t'; break;
      case 'x': {
        unsigned value = 0;
        const auto digits = text.substr(i + 1, 2);
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (digits.size() != 2 || error != std::errc{} || end != digits.data() + 2)
          throw std::runtime_error("'\\x' is not followed by two hexadecimal digits");
        bytes += static_cast<char>(value);
        i += 2;
        break;
      }
      default: throw std::runtime_error(std::string("unknown escape '\\") + text[i] + "'");
    }
  }
  return bytes;
}

}  // namespace sim
