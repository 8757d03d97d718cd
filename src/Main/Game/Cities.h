#pragma once
// The four cities the plug-in populates, and what the game and the plug-in's master file hold for each.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

enum class City : int { NewAtlantis = 1, AkilaCity = 2, Cydonia = 3, Neon = 4 };

inline constexpr std::size_t kCityCount = 4;
inline constexpr std::array<City, kCityCount> kCities = {City::NewAtlantis, City::AkilaCity, City::Cydonia, City::Neon};

// What names a city everywhere: its index in the game's and the console's terms, its name (also its
// data folder's name), its location form, and its forms in the master file (local IDs, hexadecimal).
struct CityInfo {
  City city;
  const char* name;
  std::uint32_t locationFormID;
  const char* femaleOutfitList;
  const char* maleOutfitList;
  const char* citizenList;
  const char* ratioGlobal;
  const char* citizenKeyword;
  const char* ratioConditionHolder;
  const char* outfitConditionHolder;
  const char* femaleDummyNPC;
  const char* maleDummyNPC;
};

inline constexpr std::array<CityInfo, kCityCount> kCityTable = {{
    {City::NewAtlantis, "NewAtlantis", 0x0001295A, "837", "844", "82F", "82B", "84B", "83D", "80E", "846", "848"},
    {City::AkilaCity, "AkilaCity", 0x00010DFB, "85F", "860", "861", "851", "862", "84A", "852", "854", "855"},
    {City::Cydonia, "Cydonia", 0x00015FF7, "863", "864", "865", "853", "866", "856", "857", "859", "858"},
    {City::Neon, "Neon", 0x00015FFE, "867", "868", "869", "85D", "86A", "85E", "85C", "85A", "85B"},
}};

constexpr int IndexOf(City city) noexcept { return static_cast<int>(city); }
constexpr std::size_t SlotOf(City city) noexcept { return static_cast<std::size_t>(IndexOf(city) - 1); }
constexpr const CityInfo& InfoOf(City city) noexcept { return kCityTable[SlotOf(city)]; }

// The city with that index (1 to 4); nothing for any other number.
constexpr std::optional<City> CityFromIndex(int index) noexcept {
  if (index < IndexOf(City::NewAtlantis) || index > IndexOf(City::Neon)) return std::nullopt;
  return static_cast<City>(index);
}

// A city's name for a log line; "unkown" for a number that names none.
constexpr const char* CityNameOf(int index) noexcept {
  const auto city = CityFromIndex(index);
  return city ? InfoOf(*city).name : "unkown";
}

// One value per city.
template <class T>
struct PerCity {
  std::array<T, kCityCount> values{};

  T& operator[](City city) noexcept { return values[SlotOf(city)]; }
  const T& operator[](City city) const noexcept { return values[SlotOf(city)]; }
};
