// Proves: a unique NPC definition's values (form references, file name, height, encounter chance) are
// read without a crash, a read outside them or an escaping exception; a reference splits at its first
// "_" and joins back to the text, a definition name is the file name up to its last "." or "/", and an
// accepted encounter chance is a digit string whose number is 1 to 100.
#include "FuzzInput.h"
#include "Parse/UniqueNPCValues.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const auto& text : fuzz::Fields(fuzz::Text(data, size))) {
    const auto reference = Parse::FormReferenceOf(text);
    FUZZ_CHECK(reference.formID.find('_') == std::string::npos);
    if (text.find('_') == std::string::npos)
      FUZZ_CHECK(reference.formID == text && reference.plugin.empty());
    else
      FUZZ_CHECK(reference.formID + "_" + reference.plugin == text);

    const auto name = Parse::DefinitionName(text);
    FUZZ_CHECK(text.starts_with(name));
    if (name.size() < text.size()) FUZZ_CHECK(text[name.size()] == '.' || text[name.size()] == '/');
    FUZZ_CHECK(name.find_first_of("./", 0) == std::string::npos || text.find_last_of("./") >= name.size());

    (void)Parse::UniqueNPCHeight(text);

    const auto chance = Parse::EncounterChanceOf(text);
    using Status = Parse::EncounterChance::Status;
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    FUZZ_CHECK((chance.status == Status::Empty) == text.empty());
    FUZZ_CHECK((chance.status == Status::NotDigits) == (!text.empty() && !digits));
    if (chance.status == Status::Ok) FUZZ_CHECK(chance.value >= 1 && chance.value <= 100);
    if (chance.status == Status::OutOfRange) FUZZ_CHECK(chance.value < 1 || chance.value > 100);
    if (digits && text.size() <= 9) {
      int expected = 0;
      for (const char c : text) expected = expected * 10 + (c - '0');
      FUZZ_CHECK(chance.value == expected);
      FUZZ_CHECK(chance.status == (expected >= 1 && expected <= 100 ? Status::Ok : Status::OutOfRange));
    }
  }
  return 0;
}
