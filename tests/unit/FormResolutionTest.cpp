// Form references written as text: length rules, form ID composition per plug-in kind, the file
// search over the data handler's three lists, and the lines a data author sees when one is wrong.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "GameForms.h"
#include "Helpers/FormResolution.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "RE/IDs.h"
#include "REL/ID.h"

namespace {

using Lines = std::vector<std::string>;

std::string FormError(const std::string& message) { return "error|[GetFormFromFile] " + message; }
std::string LookupError(const std::string& message) { return "error|[LookupTESFileByName] " + message; }
std::string EmptyList(const std::string& list) {
  return "warning|[LookupTESFileByName] theFiles.size() (of " + list + ") <= 0, skipping this file array";
}
std::string NotFound(const std::string& name) {
  return LookupError("result --> [nullptr] | params: PluginName [" + name +
                     "] | other data: no TESFile could be found with the specified name");
}
std::string NoPlugin(const std::string& name) {
  return FormError("no PluginFile could be found with the name [" + name + "]. Returning nullptr.");
}
std::string TooLong(const std::string& text, const char* limit, const char* is) {
  return FormError("this HexFormID's length > " + std::string(limit) + " [" + text +
                   "]. This is not supported format (length must be <= " + limit + " if source plugin " + is +
                   "Starfield.esm). Returning nullptr.");
}
std::string Over8(const std::string& text) { return TooLong(text, "8", "is "); }
std::string Over6(const std::string& text) { return TooLong(text, "6", "is not "); }
std::string OutOfRange(const std::string& plugin, const std::string& kind) {
  return FormError("   FormID [0 | 0] supposedly defined in [" + plugin + " | Type: " + kind +
                   "] is out of range. Returning nullptr.");
}
std::string Unknown(const std::string& decimalAndHex, const std::string& plugin, const std::string& kind) {
  return "warning|[GetFormFromFile]    this FormID [" + decimalAndHex + "] supposedly defined in [" + plugin +
         " | Type: " + kind +
         "] is withing range but it does not point to a valid Form or this Form is an unloaded Reference. Returning nullptr.";
}
std::string StoulFailure(const std::string& text) {
  return FormError("std::stoul exception thrown for input String: " + text + ". Returning nullptr.");
}
const std::string kEmptyText = FormError("parameter sHexFormIDNoPrefix is empty. Returning nullptr.");

// Forms of one test, gone from the game when it ends.
struct Forms {
  std::vector<std::uint32_t> ids;
  explicit Forms(std::initializer_list<std::uint32_t> list) : ids(list) {
    for (auto id : ids) sim::AddForm(id, RE::FormType::kArmor);
  }
  ~Forms() {
    for (auto id : ids) sim::RemoveForm(id);
  }
};

// One file of each kind, so no list is empty and the search logs nothing on a hit.
void LoadOneOfEachKind() {
  sim::ClearPluginFiles();
  sim::AddPluginFile("Starfield.esm", 1, 0x00);
  sim::AddPluginFile("Other.esm", 1, 0x01);
  sim::AddPluginFile("Small.esm", 2, 0xFE, 5);
  sim::AddPluginFile("Medium.esm", 3, 0xFD, 2);
}

struct Case {
  const char* text;
  const char* plugin;
  std::uint32_t formID;  // 0: no form expected
  std::string line;      // empty: nothing logged
};

void Check(const std::vector<Case>& cases) {
  test::LogCapture log;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("(") + c.text + ", " + c.plugin + ")");
    log.clear();
    auto* form = GetFormFromFile(c.text, c.plugin);
    EXPECT_EQ(form ? form->formID : 0u, c.formID);
    EXPECT_EQ(log.lines(), c.line.empty() ? Lines{} : Lines{c.line});
  }
}

TEST(FormResolution, LengthRulesPaddingAndTextConversion) {
  PluginSettings = PluginSettingsRecord{};
  LoadOneOfEachKind();
  Forms forms{0x800, 0x1A2B, 0x1A2B3, 0x01001A2B};
  Check({
      {"800", "Starfield.esm", 0x800, ""},
      {"1A2B", "", 0x1A2B, ""},  // empty name: the master file
      {"0001A2B3", "Starfield.esm", 0x1A2B3, ""},
      {"001A2B3", "Starfield.esm", 0x1A2B3, ""},
      {"001A2B", "Other.esm", 0x01001A2B, ""},
      {"001a2b", "starfield.esm", 0x1A2B, ""},              // the file search ignores case...
      {"0001A2B3", "starfield.esm", 0, Over6("0001A2B3")},  // ...the master test does not
      {"0001A2B3", "Other.esm", 0, Over6("0001A2B3")},
      {"001A2B3", "Other.esm", 0, Over6("001A2B3")},
      {"123456789", "Starfield.esm", 0, Over8("123456789")},
      {"123456789", "", 0, Over8("123456789")},
      {"123456789", "Missing.esm", 0, Over6("123456789")},  // rejected before the search
      {"", "Starfield.esm", 0, kEmptyText},
      {"", "", 0, kEmptyText},
      {"", "Missing.esm", 0, kEmptyText},
      // Short texts gain leading zeros, so conversion stops early instead of failing.
      {"zz", "Starfield.esm", 0, OutOfRange("Starfield.esm", "Full")},
      {"x1", "Starfield.esm", 0, OutOfRange("Starfield.esm", "Full")},
      {"-1", "Starfield.esm", 0, OutOfRange("Starfield.esm", "Full")},
      {"zzzzz", "Starfield.esm", 0, StoulFailure("zzzzz")},
      {"zzzzzz", "Other.esm", 0, StoulFailure("zzzzzz")},
      {"00ABC", "Starfield.esm", 0, Unknown("2748 | abc", "Starfield.esm", "Full")},
      {"12345678", "Starfield.esm", 0, Unknown("305419896 | 12345678", "Starfield.esm", "Full")},
      {"ABC", "Other.esm", 0, Unknown("16779964 | 1000abc", "Other.esm", "Full")},
  });
}

TEST(FormResolution, FormIDsComposedPerKindWithCarryAndWrapAround) {
  PluginSettings = PluginSettingsRecord{};
  LoadOneOfEachKind();
  sim::AddPluginFile("Wrap.esm", 2, 0xFF, 0xFFF);
  sim::AddPluginFile("MediumWrap.esm", 3, 0xFF, 0xFF);
  Forms forms{0xFE005801, 0xFE006801, 0xFD020012, 0xFD030012, 0x00FFEFFF};
  Check({
      {"000801", "Small.esm", 0xFE005801, ""},
      {"801", "Small.esm", 0xFE005801, ""},
      {"1801", "small.ESM", 0xFE006801, ""},  // four digits land in the next small-file index
      {"0012", "Medium.esm", 0xFD020012, ""},
      {"10012", "Medium.esm", 0xFD030012, ""},  // five digits land in the next medium-file index
      {"FFFFFF", "Wrap.esm", 0x00FFEFFF, ""},   // 32-bit wrap-around
      {"010000", "MediumWrap.esm", 0, OutOfRange("MediumWrap.esm", "Medium")},
      {"ABC", "Small.esm", 0, Unknown("4261436092 | fe005abc", "Small.esm", "Small")},
      {"0013", "Medium.esm", 0, Unknown("4244766739 | fd020013", "Medium.esm", "Medium")},
  });

  const struct {
    const char* name;
    const char* loaded;
    std::int32_t kind;
  } files[] = {{"other.esm", "Other.esm", kPluginFull},
               {"SMALL.ESM", "Small.esm", kPluginSmall},
               {"mediumwrap.esm", "MediumWrap.esm", kPluginMedium}};
  for (const auto& f : files) {
    std::int32_t kind = 0;
    EXPECT_EQ(LookupTESFileByName(f.name, &kind), sim::FindPluginFile(f.loaded)) << f.name;
    EXPECT_EQ(kind, f.kind) << f.name;
  }
}

TEST(FormResolution, FileSearchOverTheThreeLists) {
  PluginSettings = PluginSettingsRecord{};
  test::LogCapture log;
  std::int32_t kind = 77;

  EXPECT_EQ(LookupTESFileByName("Starfield.esm", nullptr), nullptr);
  EXPECT_EQ(log.lines(), Lines{LookupError("pluginType is nullptr")});

  // Nothing loaded: every list is reported empty, in search order; the kind is left alone.
  sim::ClearPluginFiles();
  log.clear();
  EXPECT_EQ(GetFormFromFile("800", "Missing.esm"), nullptr);
  EXPECT_EQ(log.lines(), (Lines{EmptyList("FileA"), EmptyList("SmallFileA"), EmptyList("MediumFileA"),
                                NotFound("Missing.esm"), NoPlugin("Missing.esm")}));
  EXPECT_EQ(LookupTESFileByName("Starfield.esm", &kind), nullptr);
  EXPECT_EQ(kind, 77);

  // No medium files: only a search that gets past the small list warns about them.
  sim::AddPluginFile("Starfield.esm", 1, 0);
  auto* firstDup = sim::AddPluginFile("Dup.esm", 1, 3);
  sim::AddPluginFile("Dup.esm", 1, 4);
  sim::AddPluginFile("DUP.ESM", 2, 0xFE, 1);
  auto* small = sim::AddPluginFile("Small.esm", 2, 0xFE, 2);
  log.clear();
  EXPECT_EQ(LookupTESFileByName("small.esm", &kind), small);
  EXPECT_EQ(kind, kPluginSmall);
  EXPECT_EQ(LookupTESFileByName("dup.esm", &kind), firstDup);  // the first match wins
  EXPECT_EQ(kind, kPluginFull);
  EXPECT_EQ(log.lines(), Lines{});
  kind = 77;
  EXPECT_EQ(LookupTESFileByName("Small.esp", &kind), nullptr);
  EXPECT_EQ(LookupTESFileByName("Small.es", &kind), nullptr);  // a prefix is not the name
  EXPECT_EQ(kind, 77);
  EXPECT_EQ(log.lines(),
            (Lines{EmptyList("MediumFileA"), NotFound("Small.esp"), EmptyList("MediumFileA"), NotFound("Small.es")}));

  // Null entries are skipped and named by their index in decimal.
  sim::ClearPluginFiles();
  sim::AddNullPluginFileEntry(1);
  auto* master = sim::AddPluginFile("Starfield.esm", 1, 0);
  for (int i = 0; i < 11; ++i) sim::AddPluginFile("Filler" + std::to_string(i) + ".esm", 3, 0x10, i);
  sim::AddNullPluginFileEntry(3);
  auto* target = sim::AddPluginFile("Target.esm", 3, 0x20, 0x30);
  log.clear();
  EXPECT_EQ(LookupTESFileByName("Target.esm", &kind), target);
  EXPECT_EQ(kind, kPluginMedium);
  EXPECT_EQ(log.lines(),
            (Lines{LookupError("loopFile at (0) is nullptr, skipping plugin file"), EmptyList("SmallFileA"),
                   LookupError("loopFile at (11) is nullptr, skipping plugin file")}));
  log.clear();
  EXPECT_EQ(LookupTESFileByName("Starfield.esm", &kind), master);
  EXPECT_EQ(kind, kPluginFull);
  EXPECT_EQ(log.lines(), Lines{LookupError("loopFile at (0) is nullptr, skipping plugin file")});

  // No data handler at all; the game's singleton is put back afterwards.
  auto** singleton = reinterpret_cast<RE::TESDataHandler**>(REL::ResolveAddressLibraryID(RE::ID::DataHandler));
  auto* saved = *singleton;
  *singleton = nullptr;
  log.clear();
  kind = 77;
  const bool found = LookupTESFileByName("Starfield.esm", &kind) || GetFormFromFile("800", "Starfield.esm");
  *singleton = saved;
  EXPECT_FALSE(found);
  EXPECT_EQ(kind, 77);
  EXPECT_EQ(log.lines(), (Lines{LookupError("dataHandler is nullptr"), LookupError("dataHandler is nullptr"),
                                NoPlugin("Starfield.esm")}));
}

TEST(FormResolution, NothingIsWrittenWhileLoggingIsOff) {
  PluginSettings = PluginSettingsRecord{};
  PluginSettings.bLogging = false;
  sim::ClearPluginFiles();
  sim::AddNullPluginFileEntry(1);
  sim::AddPluginFile("Starfield.esm", 1, 0);
  test::LogCapture log;
  EXPECT_EQ(LookupTESFileByName("Starfield.esm", nullptr), nullptr);
  for (const char* text : {"", "123456789", "zz", "zzzzz", "00ABC"}) EXPECT_EQ(GetFormFromFile(text, ""), nullptr);
  EXPECT_EQ(GetFormFromFile("0001A2B3", "Missing.esm"), nullptr);
  EXPECT_EQ(GetFormFromFile("800", "Missing.esm"), nullptr);
  EXPECT_EQ(log.lines(), Lines{});
  PluginSettings = PluginSettingsRecord{};
}

}  // namespace
