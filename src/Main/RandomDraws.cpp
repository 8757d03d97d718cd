#include "Main/RandomDraws.h"

#include <algorithm>
#include <random>
#include <utility>

#include "Helpers/Log.h"
#include "Main/DataBase.h"
#include "Main/LocationData.h"

namespace {

struct DrawKind {
  const char* operation;
  const char* entryKind;  // "Anim", "Voice", "Name", "LastName"
  int dataBaseIndex;
  const char* countLabel;  // how the rebuild warning introduces the count
};

template <class T>
void LogFound(const DrawKind& kind, const T& entry, const char* dataBase, int random) {
  if constexpr (std::is_pointer_v<T>)
    Log::Info(kind.operation, "found random {} [{:08X}] in '{}' at RandomInt [{}]. Returning it.", kind.entryKind,
              entry->formID, dataBase, random);
  else
    Log::Info(kind.operation, "found random {} [{}] in '{}' at RandomInt [{}]. Returning it.", kind.entryKind, entry,
              dataBase, random);
}

// One entry drawn at random and removed; T{} when the city is unknown or nothing can be rebuilt.
template <class T>
T Draw(const DrawKind& kind, bool female, int location, std::vector<T> LocationData::*femaleField,
       std::vector<T> LocationData::*maleField, const char* femaleName, const char* maleName) {
  auto* record = GetLocationStructByIndex(location);
  if (!record) {
    Log::Error(kind.operation, "location struct cannot be found. GetLocationStructByIndex returned nullptr.");
    return T{};
  }
  auto& database = record->*(female ? femaleField : maleField);
  const char* dataBase = female ? femaleName : maleName;
  if (database.empty()) {
    const int rebuilt = BuildDataBase(kind.dataBaseIndex, female, location);
    if (rebuilt <= 0) {
      Log::Error(kind.operation, "{}.size is 0 for iLocIndex [{}]. Could not rebuild DataBase.", dataBase, location);
      return T{};
    }
    Log::Warn(kind.operation, "{}.size is 0 for iLocIndex [{}]. Rebuilt DataBase. {}{}{}].", dataBase, location,
              dataBase, kind.countLabel, rebuilt);
  }
  // A rebuild that appended entries may still leave nothing here if its files changed under us.
  if (database.empty()) return T{};

  const int random = GetRandomIntInRange(0, static_cast<int>(database.size()) - 1);
  T entry = database[static_cast<std::size_t>(random)];
  LogFound(kind, entry, dataBase, random);
  database.erase(std::find(database.begin(), database.end(), entry));
  Log::Info(kind.operation, "returned random {} has been removed from DB.", kind.entryKind);
  return entry;
}

}  // namespace

int GetRandomIntInRange(int min, int max) {
  if (min > max) std::swap(min, max);  // the distribution is undefined for a reversed range
  std::random_device device;
  std::mt19937 engine(device());
  return std::uniform_int_distribution<int>(min, max)(engine);
}

RE::BGSKeyword* GetRandomAnimFromDB(bool bFemale, int iLocIndex) {
  static constexpr DrawKind kind{"GetRandomAnimFromDB", "Anim", 4, "Count: ["};
  return Draw(kind, bFemale, iLocIndex, &LocationData::FemaleAnims, &LocationData::MaleAnims, "FemaleAnims",
              "MaleAnims");
}

RE::BGSVoiceType* GetRandomVoiceFromDB(bool bFemale, int iLocIndex) {
  static constexpr DrawKind kind{"GetRandomVoiceFromDB", "Voice", 5, "Count: ["};
  return Draw(kind, bFemale, iLocIndex, &LocationData::FemaleVoices, &LocationData::MaleVoices, "FemaleVoices",
              "MaleVoices");
}

std::string GetRandomNameFromDB(bool bFemale, int iLocIndex) {
  static constexpr DrawKind kind{"GetRandomNameFromDB", "Name", 6, " + Count: ["};
  return Draw(kind, bFemale, iLocIndex, &LocationData::FemaleNames, &LocationData::MaleNames, "FemaleNames",
              "MaleNames");
}

std::string GetRandomLastNameFromDB(bool bFemale, int iLocIndex) {
  static constexpr DrawKind kind{"GetRandomLastNameFromDB", "LastName", 7, "Count: ["};
  return Draw(kind, bFemale, iLocIndex, &LocationData::FemaleLastNames, &LocationData::MaleLastNames,
              "FemaleLastNames", "MaleLastNames");
}
