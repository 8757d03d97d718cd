#include "Helpers/GameSettings.h"

#include <cmath>
#include <cstring>
#include <exception>

#include <fmt/format.h>

#include "Helpers/Log.h"

RE::Setting* FindGameINISetting(const std::string& name) noexcept {
  if (name.empty()) return nullptr;
  auto* collection = RE::INISettingCollection::GetSingleton();
  if (!collection) return nullptr;
  for (auto* node = &collection->settings; node; node = node->next) {
    auto* setting = node->setting;
    if (setting && setting->name && name == setting->name) return setting;
  }
  return nullptr;
}

std::string GetGameINISettingValue(const std::string& name, int type) {
  const auto* setting = FindGameINISetting(name);
  if (!setting) return {};
  switch (type) {
    case GameSettings::kFloat: return fmt::format("{:f}", setting->value.f);
    case GameSettings::kBool: return fmt::format("{}", setting->value.b);
    default: return {};
  }
}

bool SetGameINISetting(const std::string& sSetting, const std::string& sValue, int iSettingType) {
  auto* setting = FindGameINISetting(sSetting);
  if (!setting) return false;
  try {
    switch (iSettingType) {
      case GameSettings::kFloat: {
        // Stored as converted, NaN too: the result tells the caller the setting holds no number now.
        setting->value.f = std::stof(sValue);
        return !std::isnan(setting->value.f);
      }
      case GameSettings::kBool: setting->value.b = std::stoi(sValue, nullptr, 10) != 0 ? 1 : 0; return true;
      default: return false;
    }
  } catch (const std::exception&) {
    // A text that is no number, or one too large for the type.
    Log::Error("SetGameINISetting", "exception: sSetting [{}] sValue [{}] iSettingType [{}]", sSetting, sValue,
               iSettingType);
    return false;
  }
}
