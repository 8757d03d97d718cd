#pragma once
// The game's INI setting collection (ID 885862): the settings the game read from its INI files, in a
// singly linked list whose first node is embedded in the collection. Starts with the game's own
// values; a world file or the command line may change them or leave one out.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "GameWorld.h"

namespace sim {

// The settings the plug-in adjusts, by their full names.
inline constexpr const char* kCrowdSettings[] = {"fCrowdInhibitThresholdMaxActor:AI", "fCrowdInhibitDistMax:AI",
                                                 "bCrowdActorsDisableCloth:General"};

// The game's settings as it starts, with unrelated ones before and after the crowd settings.
void CreateGameINISettings();
// Back to that start (tests).
void ResetGameINISettings();
// No setting at all: the embedded node empty.
void ClearGameINISettings();

// Sets a setting's value, adding it at the end when the game has none of that name. Its type is
// the name's prefix: f float, b flag (non-zero is 1), i whole number; any other throws.
void SetGameSetting(const std::string& name, double value);
// Takes the setting out of the list; false when there is none.
bool RemoveGameSetting(const std::string& name);
// The value the game holds now; nothing when it has no such setting.
std::optional<double> GameSettingValue(const std::string& name);

// Remembers the values the game starts a run with, for the report to show what changed.
void RememberStartingGameSettings();
std::optional<double> StartingGameSettingValue(const std::string& name);

// "NAME=VALUE" sets, "NAME=" leaves the setting out; a malformed text throws.
void ApplyGameSettingOption(const std::string& option);

std::vector<ModelledAddress> GameINISettingAddresses();

}  // namespace sim
