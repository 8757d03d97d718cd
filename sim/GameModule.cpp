#include "GameModule.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "AddressLibraryWriter.h"
#include "ExitCodes.h"
#include "GameWorld.h"
#include "GameIDs.h"

namespace sim {
namespace {

// IDs the sim does not model yet point into these pages, which no code may touch: reading or
// calling one stops the process with a message that names the ID instead of a plug-in crash.
constexpr std::size_t kGuardStride = 64;
alignas(4096) std::uint8_t unmodelledPages[2 * 4096];
std::vector<const game_id::Named*> unmodelledIDs;

// A singleton pointer into the lowest page, which is never mapped: whoever follows it crashes.
void* const wildSingleton = reinterpret_cast<void*>(0x100);

LONG CALLBACK ReportUnmodelledID(EXCEPTION_POINTERS* info) {
  const auto* record = info->ExceptionRecord;
  if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record->NumberParameters < 2)
    return EXCEPTION_CONTINUE_SEARCH;
  const auto address = static_cast<std::uintptr_t>(record->ExceptionInformation[1]);
  const auto first = reinterpret_cast<std::uintptr_t>(unmodelledPages);
  if (address < first || address >= first + sizeof(unmodelledPages)) return EXCEPTION_CONTINUE_SEARCH;
  const auto index = (address - first) / kGuardStride;
  if (index < unmodelledIDs.size())
    std::fprintf(stderr, "brindlewick-sim: the game's ID %llu (%s) is not modelled yet\n",
                 static_cast<unsigned long long>(unmodelledIDs[index]->id), unmodelledIDs[index]->name);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), exit_code::kGameStopped);
  return EXCEPTION_CONTINUE_SEARCH;
}

void GuardUnmodelledIDs() {
  DWORD previous = 0;
  VirtualProtect(unmodelledPages, sizeof(unmodelledPages), PAGE_NOACCESS, &previous);
  AddVectoredExceptionHandler(1, ReportUnmodelledID);
}

// Other entries of a real table, so that the file's size and its encodings look like the game's.
void AddFillerEntries(std::vector<AddressEntry>& entries) {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  auto next = [&state] { return state = state * 6364136223846793005ull + 1442695040888963407ull; };
  std::uint64_t id = 1;
  std::uint64_t offset = 0x1000;
  for (int i = 0; i < 4000; ++i) {
    const auto roll = next() >> 60;
    id += roll < 6 ? 1 : roll < 12 ? (next() >> 56) + 1 : (next() >> 48) + 1;
    offset += (roll % 3 == 0) ? 1 : (roll % 3 == 1) ? ((next() >> 56) + 1) * 8 : (next() >> 44) + 1;
    entries.push_back({id, offset});
  }
}

}  // namespace

std::uintptr_t ModuleBase() { return reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr)); }

std::string ModuleProductVersion() {
  wchar_t path[MAX_PATH]{};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD ignored = 0;
  std::vector<std::byte> block(GetFileVersionInfoSizeW(path, &ignored));
  void* value = nullptr;
  UINT length = 0;
  if (block.empty() || !GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size()), block.data()) ||
      !VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductVersion", &value, &length))
    return {};
  std::string text;
  for (const wchar_t* c = static_cast<const wchar_t*>(value); *c; ++c) text += static_cast<char>(*c);
  return text;
}

std::filesystem::path AddressLibraryPath(int platform) {
  auto version = ModuleProductVersion();
  std::replace(version.begin(), version.end(), '.', '-');
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on the one-expression form.
  std::string name = "versionlib-";
  name += version;
  if (platform != 0) {
    name += '-';
    name += std::to_string(platform);
  }
  name += ".bin";
  return std::filesystem::current_path() / "Data" / "SFSE" / "Plugins" / name;
}

std::filesystem::path StartGame(const AddressLibraryOptions& options) {
  CreateWorld();
  GuardUnmodelledIDs();

  AddressLibraryFile file;
  file.format = options.format;
  const auto version = options.headerVersion.value_or(ModuleProductVersion());
  std::sscanf(version.c_str(), "%u.%u.%u.%u", &file.version[0], &file.version[1], &file.version[2], &file.version[3]);
  file.extraDeclaredCount = options.extraDeclaredCount;

  const auto base = ModuleBase();
  const auto modelled = ModelledAddresses();
  std::vector<AddressEntry> entries;
  AddFillerEntries(entries);
  for (const auto& named : game_id::kAll) {
    std::erase_if(entries, [&](const AddressEntry& e) { return e.id == named.id; });
    if (std::ranges::find(options.dropIDs, named.id) != options.dropIDs.end()) continue;
    const auto it = std::ranges::find_if(modelled, [&](const ModelledAddress& m) { return m.id == named.id; });
    std::uintptr_t address;
    if (it != modelled.end()) {
      address = it->address;
    } else {
      address = reinterpret_cast<std::uintptr_t>(unmodelledPages) + unmodelledIDs.size() * kGuardStride;
      unmodelledIDs.push_back(&named);
    }
    if (std::ranges::find(options.nullIDs, named.id) != options.nullIDs.end()) address = 0;
    if (std::ranges::find(options.wildIDs, named.id) != options.wildIDs.end())
      address = reinterpret_cast<std::uintptr_t>(&wildSingleton);
    entries.push_back({named.id, address - base});
  }
  std::ranges::sort(entries, {}, &AddressEntry::id);
  file.entries = std::move(entries);

  const int platform = options.platform.value_or(GetModuleHandleW(L"steam_api64") ? 0 : 1);
  const auto path = AddressLibraryPath(platform);
  WriteAddressLibrary(path, file);
  return path;
}

}  // namespace sim
