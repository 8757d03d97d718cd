#include "GameINISettings.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>

#include "GameHeap.h"
#include "GameIDs.h"

namespace sim {
namespace {

// The game's layouts, written from the game's side.
struct Setting {
  void* vtable;
  union {
    float f;
    std::uint8_t b;
    std::int32_t i;
  } value;
  std::uint8_t pad0C[0x18 - 0x0C];
  const char* name;
};
static_assert(offsetof(Setting, value) == 0x08 && offsetof(Setting, name) == 0x18);

struct SettingNode {
  Setting* setting;
  SettingNode* next;
};

struct SettingCollection {
  void* vtable;
  std::uint8_t pad08[0x118 - 0x08];
  SettingNode first;
  std::uint8_t pad128[0x40];
};
static_assert(offsetof(SettingCollection, first) == 0x118);

enum class Kind { kFloat, kFlag, kWhole };

Kind KindOf(const std::string& name) {
  switch (name.empty() ? '\0' : name[0]) {
    case 'f': return Kind::kFloat;
    case 'b': return Kind::kFlag;
    case 'i': return Kind::kWhole;
    default:
      throw std::runtime_error("game setting '" + name +
                               "': the sim models float (f), flag (b) and whole number (i)"
                               " settings");
  }
}

struct Entry {
  Setting* setting;
  Kind kind;
};

struct Defaults {
  const char* name;
  double value;
};
// Unrelated settings around the crowd settings, so a lookup must walk the list and match whole names.
constexpr Defaults kDefaults[] = {
    {"bAlwaysActive:General", 1},
    {"fCrowdInhibitThresholdMax:AI", 300.0},
    {"iNumHWThreads:General", 8},
    {"fCrowdInhibitThresholdMaxActor:AI", 200.0},
    {"fCrowdInhibitDistMax:AI", 70.0},
    {"fCrowdInhibitDistMaxActor:AI", 90.0},
    {"bCrowdActorsDisableCloth:General", 1},
    {"fDefaultWorldFOV:Display", 85.0},
    {"bCrowdActorsDisableClothCollision:General", 0},
};

SettingCollection* collection = nullptr;
SettingCollection* collectionSingleton = nullptr;  // the address library hands out its address
std::vector<Entry> entries;
std::map<std::string, double> startingValues;

// The list anew from the entries: the first in the embedded node, the rest in nodes of their own.
void Relink() {
  collection->first = {};
  SettingNode* last = nullptr;
  for (const auto& entry : entries) {
    auto* node = last ? GameNew<SettingNode>() : &collection->first;
    node->setting = entry.setting;
    node->next = nullptr;
    if (last) last->next = node;
    last = node;
  }
}

Entry* Find(const std::string& name) {
  for (auto& entry : entries)
    if (name == entry.setting->name) return &entry;
  return nullptr;
}

void Store(Entry& entry, double value) {
  switch (entry.kind) {
    case Kind::kFloat: entry.setting->value.f = static_cast<float>(value); break;
    case Kind::kFlag: entry.setting->value.b = value != 0 ? 1 : 0; break;
    case Kind::kWhole: entry.setting->value.i = static_cast<std::int32_t>(value); break;
  }
}

Entry& Add(const std::string& name) {
  const auto kind = KindOf(name);
  auto* text = static_cast<char*>(GameAllocate(name.size() + 1));
  std::memcpy(text, name.c_str(), name.size() + 1);
  auto* setting = GameNew<Setting>();
  setting->name = text;
  entries.push_back({setting, kind});
  Relink();
  return entries.back();
}

}  // namespace

void CreateGameINISettings() {
  collection = GameNew<SettingCollection>();
  collectionSingleton = collection;
  ResetGameINISettings();
}

void ResetGameINISettings() {
  entries.clear();
  for (const auto& setting : kDefaults) Store(Add(setting.name), setting.value);
}

void ClearGameINISettings() {
  entries.clear();
  Relink();
}

void SetGameSetting(const std::string& name, double value) {
  auto* entry = Find(name);
  Store(entry ? *entry : Add(name), value);
}

bool RemoveGameSetting(const std::string& name) {
  auto* entry = Find(name);
  if (!entry) return false;
  entries.erase(entries.begin() + (entry - entries.data()));
  Relink();
  return true;
}

std::optional<double> GameSettingValue(const std::string& name) {
  const auto* entry = Find(name);
  if (!entry) return std::nullopt;
  switch (entry->kind) {
    case Kind::kFloat: return entry->setting->value.f;
    case Kind::kFlag: return entry->setting->value.b;
    case Kind::kWhole: return entry->setting->value.i;
  }
  return std::nullopt;
}

void RememberStartingGameSettings() {
  startingValues.clear();
  for (const auto& entry : entries) startingValues[entry.setting->name] = *GameSettingValue(entry.setting->name);
}

std::optional<double> StartingGameSettingValue(const std::string& name) {
  const auto value = startingValues.find(name);
  if (value == startingValues.end()) return std::nullopt;
  return value->second;
}

void ApplyGameSettingOption(const std::string& option) {
  const auto equals = option.find('=');
  if (equals == std::string::npos || equals == 0)
    throw std::runtime_error("--game-setting: expected NAME=VALUE or NAME=, not '" + option + "'");
  const auto name = option.substr(0, equals), value = option.substr(equals + 1);
  if (value.empty()) {
    RemoveGameSetting(name);
    return;
  }
  std::size_t used = 0;
  double number = 0;
  try {
    number = std::stod(value, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != value.size()) throw std::runtime_error("--game-setting " + name + ": '" + value + "' is not a number");
  SetGameSetting(name, number);
}

std::vector<ModelledAddress> GameINISettingAddresses() {
  return {{game_id::INISettingCollection, reinterpret_cast<std::uintptr_t>(&collectionSingleton)}};
}

}  // namespace sim
