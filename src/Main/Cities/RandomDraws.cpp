#include "Main/Cities/RandomDraws.h"

#include <algorithm>
#include <random>
#include <utility>

#include "Helpers/Log.h"
#include "Main/Cities/DataBase.h"
#include "Main/Cities/DataBaseKinds.h"
#include "Main/Cities/LazyMt19937.h"

namespace {

struct DrawKind {
  const char* operation;
  DataBaseKind dataBase;
  const char* countLabel;  // how the rebuild warning introduces the count
};

template <class T>
void LogFound(const DrawKind& kind, const char* entryKind, const T& entry, const char* dataBase, int random) {
  if constexpr (std::is_pointer_v<T>)
    Log::Info(kind.operation, "found random {} [{:08X}] in '{}' at RandomInt [{}]. Returning it.", entryKind,
              entry->formID, dataBase, random);
  else
    Log::Info(kind.operation, "found random {} [{}] in '{}' at RandomInt [{}]. Returning it.", entryKind, entry,
              dataBase, random);
}

// One entry drawn at random and removed; T{} when nothing can be rebuilt.
template <class T>
T Draw(const DrawKind& kind, const char* entryKind, bool female, CityRecord& city) {
  const int location = city.index();
  const auto& side = DescriptorOf(kind.dataBase).side(female);
  auto& database = DataBaseIn<T>(city, side);
  if (database.empty()) {
    const int rebuilt = BuildDataBase(kind.dataBase, female, city);
    if (rebuilt <= 0) {
      Log::Error(kind.operation, "{}.size is 0 for iLocIndex [{}]. Could not rebuild DataBase.", side.name, location);
      return T{};
    }
    Log::Warn(kind.operation, "{}.size is 0 for iLocIndex [{}]. Rebuilt DataBase. {}{}{}].", side.name, location,
              side.name, kind.countLabel, rebuilt);
  }
  // A rebuild that appended entries may still leave nothing here if its files changed under us.
  if (database.empty()) return T{};

  const int random = GetRandomIntInRange(0, static_cast<int>(database.size()) - 1);
  T entry = database.TakeAt(static_cast<std::size_t>(random));
  LogFound(kind, entryKind, entry, side.name, random);
  Log::Info(kind.operation, "returned random {} has been removed from DB.", entryKind);
  return entry;
}

}  // namespace

int GetRandomIntInRange(int min, int max) {
  if (min > max) std::swap(min, max);  // the distribution is undefined for a reversed range
  std::random_device device;
  LazyMt19937 engine(device());  // a fresh std::mt19937's very outputs, at a fraction of its set-up
  return std::uniform_int_distribution<int>(min, max)(engine);
}

RE::BGSKeyword* GetRandomAnimFromDB(bool bFemale, CityRecord& city) {
  static constexpr DrawKind kind{"GetRandomAnimFromDB", DataBaseKind::Anims, "Count: ["};
  return Draw<RE::BGSKeyword*>(kind, "Anim", bFemale, city);
}

RE::BGSVoiceType* GetRandomVoiceFromDB(bool bFemale, CityRecord& city) {
  static constexpr DrawKind kind{"GetRandomVoiceFromDB", DataBaseKind::Voices, "Count: ["};
  return Draw<RE::BGSVoiceType*>(kind, "Voice", bFemale, city);
}

std::string GetRandomNameFromDB(bool bFemale, CityRecord& city) {
  static constexpr DrawKind kind{"GetRandomNameFromDB", DataBaseKind::Names, " + Count: ["};
  return Draw<std::string>(kind, "Name", bFemale, city);
}

std::string GetRandomLastNameFromDB(bool bFemale, CityRecord& city) {
  static constexpr DrawKind kind{"GetRandomLastNameFromDB", DataBaseKind::LastNames, "Count: ["};
  return Draw<std::string>(kind, "LastName", bFemale, city);
}
