// Proves: the console command's compiled data is read without a crash or a read outside it (length byte
// at 6, at most 150 bytes of text from 8, never past the data); the raw parameters are the text's words
// joined by single blanks; and both numbers agree with a plain reading of the first two words.
#include <cctype>

#include "FuzzInput.h"
#include "Parse/ConsoleData.h"

namespace {

bool Blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Digits only (after an optional minus for the decimal), short enough that no range question arises.
bool PlainDecimal(const std::string& word) {
  const std::size_t start = word.starts_with('-') ? 1 : 0;
  return word.size() > start && word.size() - start <= 9 &&
         word.find_first_not_of("0123456789", start) == std::string::npos;
}
bool PlainHex(const std::string& word) {
  return !word.empty() && word.size() <= 8 && word.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Copied, so that the sanitizer sees exactly the data's extent.
  const std::vector<std::uint8_t> compiled(data, data + size);
  const auto text = Parse::RawParameterText(compiled);
  FUZZ_CHECK(text.size() <= Parse::kMaxRawParameterText);
  if (size > Parse::kRawTextLengthOffset) FUZZ_CHECK(text.size() <= compiled[Parse::kRawTextLengthOffset]);
  if (!text.empty()) {
    FUZZ_CHECK(text.data() == reinterpret_cast<const char*>(compiled.data()) + Parse::kRawTextOffset);
    FUZZ_CHECK(Parse::kRawTextOffset + text.size() <= size);
  }

  const auto parameters = Parse::ReadConsoleParameters(text);
  using Status = Parse::ConsoleParameters::Status;
  FUZZ_CHECK((parameters.status == Status::EmptyText) == parameters.raw.empty());
  std::string joined;
  for (const auto& word : Parse::Words(text)) {
    FUZZ_CHECK(!word.empty());
    for (const char c : word) FUZZ_CHECK(!Blank(c));
    joined += (joined.empty() ? "" : " ") + word;
  }
  FUZZ_CHECK(joined == parameters.raw);
  if (parameters.status == Status::EmptyText) return 0;
  FUZZ_CHECK(Parse::Words(parameters.raw) == parameters.words);
  FUZZ_CHECK((parameters.status == Status::TooFewWords) == (parameters.words.size() < 2));
  if (parameters.words.size() < 2) return 0;

  const auto& first = parameters.words[0];
  const auto& second = parameters.words[1];
  if (PlainDecimal(first)) {
    FUZZ_CHECK(parameters.status != Status::BadFuncIndex);
    FUZZ_CHECK(Parse::DecimalInt(first) == std::stoi(first));
  }
  if (PlainHex(second)) FUZZ_CHECK(Parse::HexUInt32(second) == std::stoul(second, nullptr, 16));
  // Any hexadecimal word of more than eight significant digits is out of range.
  if (second.size() > 8 && second.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos &&
      second.find_first_not_of('0') <= second.size() - 9)
    FUZZ_CHECK(!Parse::HexUInt32(second));
  if (parameters.status == Status::Ok) {
    FUZZ_CHECK(Parse::DecimalInt(first) == parameters.funcIndex);
    FUZZ_CHECK(Parse::HexUInt32(second) == parameters.funcParam1);
  }
  return 0;
}
