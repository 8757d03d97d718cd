// Proves: the game executable's version text is read without a crash or a read outside it; a text it
// accepts starts with a digit, and the version written back out with "." reads back as the same version.
#include "FuzzInput.h"
#include "REL/Version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Copied, so that the sanitizer sees exactly the text's extent.
  const std::string text(fuzz::Text(data, size));
  const auto version = REL::ParseVersion(text);
  if (!version) return 0;
  FUZZ_CHECK(!text.empty() && text[0] >= '0' && text[0] <= '9');
  const auto again = REL::ParseVersion(version->string('.'));
  FUZZ_CHECK(again && *again == *version);
  return 0;
}
