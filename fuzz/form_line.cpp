// Proves: reading a database line never crashes or reads outside it; the plug-in name is empty or the
// text after the first "_" up to an ".esl"/".esp"/".esm" (case ignored), and the form ID text is what
// precedes the first "_" with its "x", blanks, tabs and leading zeros dropped, cut at ";".
#include <cctype>

#include "FuzzInput.h"
#include "Parse/FormLine.h"

namespace {

bool EndsWithExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (auto& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".esl" || tail == ".esp" || tail == ".esm";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto line = fuzz::Text(data, size);
  const auto underscore = line.find('_');

  const auto plugin = Parse::PluginNameOfLine(line);
  if (underscore == std::string_view::npos) FUZZ_CHECK(plugin.empty());
  if (!plugin.empty()) {
    FUZZ_CHECK(EndsWithExtension(plugin));
    FUZZ_CHECK(line.substr(underscore + 1).starts_with(plugin));
  }

  const auto formID = Parse::FormIDOfLine(line);
  FUZZ_CHECK(formID.find_first_of("x \t;") == std::string::npos);
  FUZZ_CHECK(formID.empty() || formID[0] != '0');
  // Its characters appear in order before the first "_".
  const auto head = line.substr(0, underscore);
  std::size_t at = 0;
  for (const char c : formID) {
    at = head.find(c, at);
    FUZZ_CHECK(at != std::string_view::npos);
    ++at;
  }
  return 0;
}
