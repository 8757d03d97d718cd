#include "Main/RandomDraws.h"

#include <algorithm>
#include <random>
#include <utility>

#include "Helpers/Log.h"
#include "Main/DataBase.h"
#include "Main/DataBaseKinds.h"
#include "Main/LazyMt19937.h"
#include "Main/LocationData.h"

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

// One entry drawn at random and removed; T{} when the city is unknown or nothing can be rebuilt.
template <class T>
T Draw(const DrawKind& kind, const char* entryKind, bool female, int location) {
  auto* record = GetLocationStructByIndex(location);
  if (!record) {
    Log::Error(kind.operation, "location struct cannot be found. GetLocationStructByIndex returned nullptr.");
    return T{};
  }
  const auto& side = DescriptorOf(kind.dataBase).side(female);
  auto& database = DataBaseIn<T>(*record, side);
  if (database.empty()) {
    const int rebuilt = BuildDataBase(static_cast<int>(kind.dataBase), female, location);
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

RE::BGSKeyword* GetRandomAnimFromDB(bool bFemale, int iLocIndex) {
  static constexpr DrawKind kind{"GetRandomAnimFromDB", DataBaseKind::Anims, "Count: ["};
  return Draw<RE::BGSKeyword*>(kind, "Anim", bFemale, iLocIndex);
}

RE::BGSVoiceType* GetRandomVoiceFromDB(bool bFemale, int iLocIndex) {
  static constexpr DrawKind kind{"GetRandomVoiceFromDB", DataBaseKind::Voices, "Count: ["};
  return Draw<RE::BGSVoiceType*>(kind, "Voice", bFemale, iLocIndex);
}

std::string GetRandomNameFromDB(bool bFemale, int iLocIndex) {
  static constexpr DrawKind kind{"GetRandomNameFromDB", DataBaseKind::Names, " + Count: ["};
  return Draw<std::string>(kind, "Name", bFemale, iLocIndex);
}

std::string GetRandomLastNameFromDB(bool bFemale, int iLocIndex) {
  static constexpr DrawKind kind{"GetRandomLastNameFromDB", DataBaseKind::LastNames, "Count: ["};
  return Draw<std::string>(kind, "LastName", bFemale, iLocIndex);
}
