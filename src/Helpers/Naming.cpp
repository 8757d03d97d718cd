#include "Helpers/Naming.h"

#include <cctype>

#include <fmt/format.h>

#include "Helpers/Log.h"
#include "Parse/ConsoleData.h"
#include "REL/Module.h"
#include "RE/T/TESFullName.h"

namespace {
constexpr const char* kNullForm = "!!! ERROR: nullptr form !!!";
constexpr const char* kUnnamed = "{unnamed}";
}  // namespace

std::string GetAddressAsHex(const void* address, bool relative) {
  if (!address) return {};
  const auto value = reinterpret_cast<std::uintptr_t>(address);
  if (relative) {
    const auto offset = static_cast<std::int64_t>(value - REL::Module::Game().base());
    if (offset > 0) return fmt::format("Starfield.exe + 0x{:X}", offset);
    Log::Error("GetAddressAsHex", "calculated offset <= 0 --> [{}]", offset);
  }
  return fmt::format("{}", HexAddress{address});
}

std::string GetFormIDAsHex(const RE::TESForm* form) { return form ? GetFormIDAsHex(form->formID) : std::string(); }

std::string GetFormIDAsHex(std::uint32_t formID) { return fmt::format("{}", HexFormID{formID}); }

std::string GetTESFullNameNative(RE::TESForm* form) {
  if (!form) {
    Log::Error("GetTESFullNameNative", "theForm is nullptr");
    return {};
  }
  const char* name = RE::GetNativeFullName(form);
  return name ? name : "";
}

std::string GetTESFullName(RE::TESForm* form) {
  if (!form) {
    Log::Error("GetTESFullName", "theForm is nullptr");
    return {};
  }
  if (auto* component = RE::CastToFullName(form)) {
    const char* name = component->GetFullName();
    if (name && *name) return name;
  }
  return GetTESFullNameNative(form);
}

std::string GetReferenceName(RE::TESObjectREFR* reference) {
  if (!reference) {
    Log::Error("GetReferenceName", "theRef is nullptr");
    return {};
  }
  if (auto* extraList = reference->extraList) {
    // Held until the name is copied: once released, another thread may replace the extra data.
    RE::BSReadLockGuard guard(extraList->lock);
    auto* extra = static_cast<RE::ExtraTextDisplayData*>(extraList->GetByType(guard, RE::ExtraDataType::kDisplayName));
    if (extra) {
      const auto name = extra->displayName.view();
      if (!name.empty()) return std::string(name);
    }
  }
  return GetTESFullName(reference->baseObject);
}

std::string DescribeForm(RE::TESForm* form, bool withName) {
  if (!form) return kNullForm;
  if (!withName) return fmt::format("[{} | {}]", GetAddressAsHex(form, false), GetFormIDAsHex(form));
  auto name = GetTESFullName(form);
  return fmt::format("[{} | {} | {}]", GetAddressAsHex(form, false), GetFormIDAsHex(form),
                     name.empty() ? kUnnamed : name);
}

std::string DescribeReference(RE::TESObjectREFR* reference) {
  if (!reference) return kNullForm;
  auto name = GetReferenceName(reference);
  if (name.empty()) name = GetTESFullNameNative(reference->baseObject);
  return fmt::format("[{} | {} | {}]", GetAddressAsHex(reference, false), GetFormIDAsHex(reference),
                     name.empty() ? kUnnamed : name);
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string ToLowerAscii(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::vector<std::string> GetWordsInStringAsVector(const std::string& text) { return Parse::Words(text); }
