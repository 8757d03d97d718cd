#pragma once
// Game objects as text, for the log and for the plug-in's own logic.
#include <cstdint>
#include <string>
#include <vector>

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

// "[address | FormID]" or "[address | FormID | name]", for log lines.
std::string DescribeForm(RE::TESForm* form, bool withName);
std::string DescribeReference(RE::TESObjectREFR* reference);

// The white-space separated words of text, in order.
std::vector<std::string> GetWordsInStringAsVector(const std::string& text);
