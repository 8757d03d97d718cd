// Game objects as text: addresses, form IDs, full names, reference names, log descriptions,
// references by handle, and the console word splitter.
#include <windows.h>

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Classes/ReferenceHandle.h"
#include "GameForms.h"
#include "Helpers/Naming.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"

namespace {

using Lines = std::vector<std::string>;
using Words = std::vector<std::string>;

std::string Hex(std::uintptr_t value) {
  std::ostringstream text;
  text << std::uppercase << std::hex << value;
  return text.str();
}
std::string Hex(const void* address) { return Hex(reinterpret_cast<std::uintptr_t>(address)); }
const void* At(std::uintptr_t value) { return reinterpret_cast<const void*>(value); }

// Forms of one test, gone from the game when it ends.
struct Forms {
  std::vector<std::uint32_t> ids;
  template <class T>
  T* Keep(T* form) {
    ids.push_back(form->formID);
    return form;
  }
  ~Forms() {
    for (auto id : ids) sim::RemoveForm(id);
  }
};

TEST(Naming, AddressAsHexPlainAndRelativeToTheGameModule) {
  PluginSettings = PluginSettingsRecord{};
  test::LogCapture log;
  const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  ASSERT_NE(base, 0u);

  EXPECT_EQ(GetAddressAsHex(nullptr, false), "");
  EXPECT_EQ(GetAddressAsHex(nullptr, true), "");
  EXPECT_EQ(GetAddressAsHex(At(0x1E5A3C0F1E8), false), "1E5A3C0F1E8");
  EXPECT_EQ(GetAddressAsHex(At(0xabcdef), false), "ABCDEF");
  EXPECT_EQ(GetAddressAsHex(At(1), false), "1");
  EXPECT_EQ(GetAddressAsHex(At(base + 0x5A3C10), false), Hex(base + 0x5A3C10));
  EXPECT_EQ(GetAddressAsHex(At(base + 0x5A3C10), true), "Starfield.exe + 0x5A3C10");
  EXPECT_EQ(GetAddressAsHex(At(base + 1), true), "Starfield.exe + 0x1");
  EXPECT_EQ(GetAddressAsHex(At(base + 0x123456789AB), true), "Starfield.exe + 0x123456789AB");
  EXPECT_EQ(log.lines(), Lines{});

  // At or below the module: the offset is logged and the plain text returned.
  const struct {
    std::uintptr_t address;
    std::string offset;
  } below[] = {{base, "0"}, {base - 16, "-16"}, {0x10, std::to_string(0x10LL - static_cast<long long>(base))}};
  for (const auto& b : below) {
    log.clear();
    EXPECT_EQ(GetAddressAsHex(At(b.address), true), Hex(b.address));
    EXPECT_EQ(log.lines(), Lines{"error|[GetAddressAsHex] calculated offset <= 0 --> [" + b.offset + "]"});
  }
}

TEST(Naming, FormIDAsHexIsEightUpperCaseDigits) {
  const struct {
    std::uint32_t id;
    const char* text;
  } cases[] = {{0x1295A, "0001295A"}, {0xFF00001A, "FF00001A"}, {0xabcdef01, "ABCDEF01"}, {1, "00000001"}, {0, ""}};
  for (const auto& c : cases) {
    RE::TESForm form{};
    form.formID = c.id;
    EXPECT_EQ(GetFormIDAsHex(&form), c.text);
    EXPECT_EQ(GetFormIDAsHex(c.id), c.text);
  }
  EXPECT_EQ(GetFormIDAsHex(static_cast<const RE::TESForm*>(nullptr)), "");
}

TEST(Naming, FullNamePrefersANonEmptyComponentOverTheNativeQuery) {
  PluginSettings = PluginSettingsRecord{};
  Forms forms;
  auto* nativeOnly = forms.Keep(sim::AddForm(0x0BB00001, RE::FormType::kArmor, "Native Only", false));
  auto* both = forms.Keep(sim::AddForm(0x0BB00002, RE::FormType::kArmor, "Both"));
  auto* differing = forms.Keep(sim::AddForm(0x0BB00003, RE::FormType::kArmor, "Native Name"));
  auto* emptyComponent = forms.Keep(sim::AddForm(0x0BB00004, RE::FormType::kArmor, "Native Fallback"));
  auto* nullComponent = forms.Keep(sim::AddForm(0x0BB00005, RE::FormType::kArmor, "Native Again"));
  auto* unnamed = forms.Keep(sim::AddForm(0x0BB00006, RE::FormType::kArmor));
  RE::CastToFullName(differing)->fullName.data = sim::MakeStringEntry("Component Name");
  RE::CastToFullName(emptyComponent)->fullName.data = sim::MakeProxyEntry(sim::MakeStringEntry(""));
  RE::CastToFullName(nullComponent)->fullName.data = nullptr;

  const struct {
    RE::TESForm* form;
    const char* full;
    const char* native;
  } cases[] = {{nativeOnly, "Native Only", "Native Only"},      {both, "Both", "Both"},
               {differing, "Component Name", "Native Name"},    {emptyComponent, "Native Fallback", "Native Fallback"},
               {nullComponent, "Native Again", "Native Again"}, {unnamed, "", ""}};
  test::LogCapture log;
  for (const auto& c : cases) {
    EXPECT_EQ(GetTESFullName(c.form), c.full) << c.form->formID;
    EXPECT_EQ(GetTESFullNameNative(c.form), c.native) << c.form->formID;
  }
  EXPECT_EQ(log.lines(), Lines{});
  EXPECT_EQ(GetTESFullName(nullptr), "");
  EXPECT_EQ(GetTESFullNameNative(nullptr), "");
  EXPECT_EQ(log.lines(),
            (Lines{"error|[GetTESFullName] theForm is nullptr", "error|[GetTESFullNameNative] theForm is nullptr"}));
}

TEST(Naming, ReferenceNameFromDisplayDataElseTheBaseName) {
  PluginSettings = PluginSettingsRecord{};
  Forms forms;
  auto* base = forms.Keep(sim::AddNPC(0x0BB00010, false, "Settler"));
  auto* crate = forms.Keep(sim::AddForm(0x0BB00011, RE::FormType::kArmor, "Crate", false));
  auto reference = [&](std::uint32_t id, RE::TESForm* of, std::optional<std::string> display) {
    return forms.Keep(sim::AddReference(id, of, {}, std::move(display)));
  };
  auto* shown = reference(0x0BB00012, base, "Captain Reyes");
  auto* plain = reference(0x0BB00013, base, {});
  auto* emptyText = reference(0x0BB00014, base, "");
  auto entry = [&](std::uint32_t id, RE::BSStringPoolEntry* name) {  // display data holding that game string
    auto* made = reference(id, base, "stale");
    static_cast<RE::ExtraTextDisplayData*>(made->extraList->data)->displayName.data = name;
    return made;
  };
  auto* chained = entry(0x0BB00015, sim::MakeProxyEntry(sim::MakeProxyEntry(sim::MakeStringEntry("Chained"))));
  auto* deadProxy = entry(0x0BB00016, sim::MakeProxyEntry(sim::MakeProxyEntry(nullptr)));
  auto* proxyToEmpty = entry(0x0BB00017, sim::MakeProxyEntry(sim::MakeStringEntry("")));
  auto* nullString = entry(0x0BB00018, nullptr);
  auto* noList = reference(0x0BB00019, base, "stale");
  noList->extraList = nullptr;
  auto* ofCrate = reference(0x0BB0001A, crate, {});

  const struct {
    RE::TESObjectREFR* reference;
    const char* name;
  } cases[] = {
      {shown, "Captain Reyes"}, {plain, "Settler"},     {emptyText, "Settler"},
      {chained, "Chained"},     {deadProxy, "Settler"}, {proxyToEmpty, "Settler"},
      {nullString, "Settler"},  {noList, "Settler"},    {ofCrate, "Crate"},
  };
  const auto locks = sim::HeldLocks();
  test::LogCapture log;
  for (const auto& c : cases) {
    EXPECT_EQ(GetReferenceName(c.reference), c.name) << c.reference->formID;
    EXPECT_EQ(sim::HeldLocks(), locks) << c.reference->formID;  // the list's lock is given back
    if (c.reference->extraList) {
      EXPECT_EQ(c.reference->extraList->lock.lockCount, 0u);
    }
  }
  EXPECT_EQ(log.lines(), Lines{});
  EXPECT_EQ(GetReferenceName(nullptr), "");
  EXPECT_EQ(log.lines(), Lines{"error|[GetReferenceName] theRef is nullptr"});
}

TEST(Naming, DescriptionsForLogLines) {
  PluginSettings = PluginSettingsRecord{};
  Forms forms;
  auto* named = forms.Keep(sim::AddForm(0x0BB00020, RE::FormType::kArmor, "Vest"));
  auto* unnamed = forms.Keep(sim::AddForm(0xFF00001A, RE::FormType::kArmor));
  auto* base = forms.Keep(sim::AddNPC(0x0BB00021, true, "Settler"));
  auto* shown = forms.Keep(sim::AddReference(0x0BB00022, base, {}, "Captain"));
  auto* plain = forms.Keep(sim::AddReference(0x0BB00023, base, {}));
  auto* baseless = forms.Keep(sim::AddReference(0x0BB00024, nullptr, {}));
  RE::TESForm zeroID{};
  const auto locks = sim::HeldLocks();

  const std::string kNull = "!!! ERROR: nullptr form !!!";
  EXPECT_EQ(DescribeForm(nullptr, true), kNull);
  EXPECT_EQ(DescribeForm(nullptr, false), kNull);
  EXPECT_EQ(DescribeReference(nullptr), kNull);

  EXPECT_EQ(DescribeForm(named, true), fmt::format("[{} | 0BB00020 | Vest]", Hex(named)));
  EXPECT_EQ(DescribeForm(named, false), fmt::format("[{} | 0BB00020]", Hex(named)));
  EXPECT_EQ(DescribeForm(unnamed, true), fmt::format("[{} | FF00001A | {{unnamed}}]", Hex(unnamed)));
  EXPECT_EQ(DescribeForm(&zeroID, true), fmt::format("[{} |  | {{unnamed}}]", Hex(&zeroID)));
  EXPECT_EQ(DescribeForm(&zeroID, false), fmt::format("[{} | ]", Hex(&zeroID)));

  EXPECT_EQ(DescribeReference(shown), fmt::format("[{} | 0BB00022 | Captain]", Hex(shown)));
  EXPECT_EQ(DescribeReference(plain), fmt::format("[{} | 0BB00023 | Settler]", Hex(plain)));
  test::LogCapture log;  // no base: both name queries report it, then the placeholder
  EXPECT_EQ(DescribeReference(baseless), fmt::format("[{} | 0BB00024 | {{unnamed}}]", Hex(baseless)));
  EXPECT_EQ(log.lines(),
            (Lines{"error|[GetTESFullName] theForm is nullptr", "error|[GetTESFullNameNative] theForm is nullptr"}));
  EXPECT_EQ(sim::HeldLocks(), locks);
}

TEST(Naming, LookupREFRByHandleFillsAndCountsTheReference) {
  PluginSettings = PluginSettingsRecord{};
  Forms forms;
  auto* base = forms.Keep(sim::AddNPC(0x0BB00030, false, "Settler"));
  auto* reference = forms.Keep(sim::AddReference(0x0BB00031, base, {}));
  std::uint32_t handle = sim::HandleOf(reference);
  ASSERT_NE(handle, 0u);
  const auto holders = sim::ReferenceHolders(reference);
  const auto kParameterError = "error|[LookupREFRByHandle] function parameter error";
  test::LogCapture log;

  ReferencePointer out;
  LookupREFRByHandle(handle, out);
  EXPECT_EQ(out.get(), reference);
  EXPECT_EQ(sim::ReferenceHolders(reference), holders + 1);
  EXPECT_EQ(handle, sim::HandleOf(reference));
  EXPECT_EQ(log.lines(), Lines{});

  LookupREFRByHandle(handle, out);  // out already holds a reference: nothing is looked up
  EXPECT_EQ(out.get(), reference);
  EXPECT_EQ(sim::ReferenceHolders(reference), holders + 1);
  EXPECT_EQ(log.lines(), Lines{kParameterError});

  ReleaseReference(out);
  EXPECT_FALSE(out);
  ReleaseReference(out);  // an empty one gives nothing back
  EXPECT_EQ(sim::ReferenceHolders(reference), holders);

  log.clear();
  std::uint32_t zero = 0;
  LookupREFRByHandle(zero, out);
  EXPECT_FALSE(out);
  EXPECT_EQ(log.lines(), Lines{kParameterError});

  log.clear();
  std::uint32_t stale = 0xFFFFFFF0;  // never handed out
  LookupREFRByHandle(stale, out);
  EXPECT_FALSE(out);
  EXPECT_EQ(log.lines(), Lines{});
  EXPECT_EQ(sim::ReferenceHolders(reference), holders);
}

TEST(Naming, WordsAreTheRunsBetweenWhiteSpace) {
  const struct {
    const char* text;
    Words words;
  } cases[] = {{"  1   Neon  ", {"1", "Neon"}},
               {"", {}},
               {" \t ", {}},
               {"enter", {"enter"}},
               {"enter\tNew Atlantis\r\n", {"enter", "New", "Atlantis"}},
               {"a  b c", {"a", "b", "c"}}};
  for (const auto& c : cases) EXPECT_EQ(GetWordsInStringAsVector(c.text), c.words) << '"' << c.text << '"';
}

}  // namespace
