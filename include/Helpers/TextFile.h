#pragma once
// Data files as Windows text editors save them: a UTF-8 byte order mark is not text, "Unicode"
// (UTF-16 with its mark) is read converted to UTF-8, CRLF and LF both end a line.
#include <filesystem>
#include <string>
#include <string_view>

namespace TextFile {

enum class Encoding { Bytes, Utf8WithMark, Utf16LE, Utf16BE, Utf16WithoutMark };

struct Contents {
  bool opened = false;
  Encoding encoding = Encoding::Bytes;
  std::string text;  // empty for UTF-16 without a mark: it cannot be read safely
};

// The whole file's text as described above.
Contents Read(const std::filesystem::path& path);
// The same for bytes already in memory.
Contents Decode(std::string bytes);

const char* EncodingName(Encoding encoding) noexcept;

namespace detail {
inline thread_local std::size_t lineNumber = 0;
}

// The number (from 1) of the line ForEachLine is handing out on this thread, 0 outside it: lets a
// reader of the log place the messages written about a line in its file.
inline std::size_t CurrentLineNumber() noexcept { return detail::lineNumber; }

// Calls line(text) for each line without its line end; the last line may lack one.
template <class Callback>
void ForEachLine(std::string_view text, Callback&& line) {
  struct Numbering {
    std::size_t number = 0;
    ~Numbering() { detail::lineNumber = 0; }
  } numbering;
  while (!text.empty()) {
    const auto end = text.find('\n');
    auto current = text.substr(0, end);
    if (!current.empty() && current.back() == '\r') current.remove_suffix(1);
    detail::lineNumber = ++numbering.number;
    line(current);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

}  // namespace TextFile
