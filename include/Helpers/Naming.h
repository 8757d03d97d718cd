#pragma once
// Game objects as text, for the log and for the plug-in's own logic.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "RE/T/TESForm.h"
#include "RE/T/TESObjectREFR.h"

// Hexadecimal, upper case, no prefix; relative gives "Starfield.exe + 0x<offset>" from the game's base.
std::string GetAddressAsHex(const void* address, bool relative);

// Eight upper-case hexadecimal digits; empty for a null form or FormID 0.
std::string GetFormIDAsHex(const RE::TESForm* form);
std::string GetFormIDAsHex(std::uint32_t formID);

std::string GetTESFullNameNative(RE::TESForm* form);
std::string GetTESFullName(RE::TESForm* form);
std::string GetReferenceName(RE::TESObjectREFR* reference);

// Comparisons and case of texts whose letters beyond ASCII are left as they are.
bool EqualIgnoringCase(std::string_view a, std::string_view b) noexcept;
std::string ToLowerAscii(std::string text);

// "[address | FormID]" or "[address | FormID | name]", for log lines.
std::string DescribeForm(RE::TESForm* form, bool withName);
std::string DescribeReference(RE::TESObjectREFR* reference);

// Log arguments that format as GetAddressAsHex(address, false) and GetFormIDAsHex(formID) do, without
// building a text unless the line is written.
struct HexAddress {
  const void* address;
};
struct HexFormID {
  std::uint32_t formID;
};

template <>
struct fmt::formatter<HexAddress> : fmt::formatter<fmt::string_view> {
  template <class Context>
  auto format(const HexAddress& value, Context& context) const {
    if (!value.address) return context.out();
    return fmt::format_to(context.out(), "{:X}", reinterpret_cast<std::uintptr_t>(value.address));
  }
};
template <>
struct fmt::formatter<HexFormID> : fmt::formatter<fmt::string_view> {
  template <class Context>
  auto format(const HexFormID& value, Context& context) const {
    if (!value.formID) return context.out();
    return fmt::format_to(context.out(), "{:08X}", value.formID);
  }
};

// The white-space separated words of text, in order.
std::vector<std::string> GetWordsInStringAsVector(const std::string& text);
