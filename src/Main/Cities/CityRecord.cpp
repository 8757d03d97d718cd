#include "Main/Cities/CityRecord.h"

#include <array>

#include "Helpers/Ini.h"
#include "Win/Text.h"

CityRecord::CityRecord(City ofCity)
    : city(ofCity), folder(std::wstring(Ini::kDataFolder) + Win::FromUtf8(InfoOf(ofCity).name) + L"\\") {}

namespace {

std::array<CityRecord, kCityCount> records = {CityRecord(City::NewAtlantis), CityRecord(City::AkilaCity),
                                              CityRecord(City::Cydonia), CityRecord(City::Neon)};

}  // namespace

CityRecord& CityRecordOf(City city) noexcept { return records[SlotOf(city)]; }

CityRecord* FindCityRecord(int index) noexcept {
  const auto city = CityFromIndex(index);
  return city ? &CityRecordOf(*city) : nullptr;
}

void ResetCityRecords() {
  for (auto& record : records) record = CityRecord(record.city);
}
