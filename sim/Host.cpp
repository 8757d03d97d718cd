#include "Host.h"

#include <windows.h>

#include <stdexcept>
#include <vector>

#include "GameModule.h"

namespace sim {
namespace {

constexpr SFSE::PluginHandle kPluginHandle = 1;
constexpr std::size_t kBranchPoolSize = 64 * 1024;

HostOptions hostOptions;

struct Listener {
  SFSE::PluginHandle plugin;
  std::string sender;
  SFSE::MessagingInterface::EventCallback handler;
};
std::vector<Listener> listeners;

struct BranchPool {
  std::uint8_t* memory = nullptr;
  std::size_t used = 0;
} branchPool;

// The host's branch pool lies just past the end of the game's image, within a rel32's reach.
void ReserveBranchPool() {
  if (branchPool.memory) return;
  const auto base = ModuleBase();
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  for (std::uintptr_t address = (base + nt->OptionalHeader.SizeOfImage + 0xFFFF) & ~std::uintptr_t{0xFFFF};
       address < base + 0x40000000; address += 0x10000) {
    if (void* memory = VirtualAlloc(reinterpret_cast<void*>(address), kBranchPoolSize, MEM_RESERVE | MEM_COMMIT,
                                    PAGE_EXECUTE_READWRITE)) {
      branchPool.memory = static_cast<std::uint8_t*>(memory);
      return;
    }
  }
}

bool RegisterListener(SFSE::PluginHandle plugin, const char* sender, SFSE::MessagingInterface::EventCallback handler) {
  if (!sender || !handler || hostOptions.refuseListeners) return false;
  listeners.push_back({plugin, sender, handler});
  return true;
}

bool Dispatch(SFSE::PluginHandle, std::uint32_t, void*, std::uint32_t, const char*) { return false; }

void* AllocateFromBranchPool(SFSE::PluginHandle, std::size_t size) {
  if (hostOptions.branchPoolExhausted || !branchPool.memory || kBranchPoolSize - branchPool.used < size)
    return nullptr;
  void* result = branchPool.memory + branchPool.used;
  branchPool.used += size;
  return result;
}
void* AllocateFromLocalPool(SFSE::PluginHandle plugin, std::size_t size) { return AllocateFromBranchPool(plugin, size); }

void RegisterMenu(void*) {}
void AddTask(void*) {}

SFSE::MessagingInterface messaging{SFSE::MessagingInterface::kVersion, RegisterListener, Dispatch};
SFSE::TrampolineInterface trampoline{SFSE::TrampolineInterface::kVersion, AllocateFromBranchPool,
                                     AllocateFromLocalPool};
SFSE::MenuInterface menu{SFSE::MenuInterface::kVersion, RegisterMenu};
SFSE::TaskInterface task{SFSE::TaskInterface::kVersion, AddTask, AddTask};

void* QueryInterface(std::uint32_t id) {
  switch (id) {
    case SFSE::kMessaging: return &messaging;
    case SFSE::kTrampoline: return hostOptions.trampolineInterface ? &trampoline : nullptr;
    case SFSE::kMenu: return &menu;
    case SFSE::kTask: return &task;
    default: return nullptr;
  }
}

SFSE::PluginHandle GetPluginHandle() { return kPluginHandle; }

const SFSE::LoadInterface loadInterface{SFSE::MakeVersion(0, 2, 17), SFSE::MakeVersion(1, 14, 70, 0),
                                        QueryInterface, GetPluginHandle};

}  // namespace

void ConfigureHost(const HostOptions& options) {
  hostOptions = options;
  const std::uint32_t newer = options.newerInterfaces ? 1 : 0;
  messaging.interfaceVersion = SFSE::MessagingInterface::kVersion + newer;
  trampoline.interfaceVersion = SFSE::TrampolineInterface::kVersion + newer;
  menu.interfaceVersion = SFSE::MenuInterface::kVersion + newer;
  task.interfaceVersion = SFSE::TaskInterface::kVersion + newer;
}

LoadedPlugin LoadPlugin(const std::filesystem::path& dll) {
  ReserveBranchPool();
  HMODULE module = LoadLibraryW(dll.wstring().c_str());
  if (!module) throw std::runtime_error("cannot load " + dll.string() + " (error " + std::to_string(GetLastError()) + ")");

  const auto* version = reinterpret_cast<const SFSE::PluginVersionData*>(GetProcAddress(module, "SFSEPlugin_Version"));
  using LoadFn = bool (*)(const SFSE::LoadInterface*);
  const auto load = reinterpret_cast<LoadFn>(GetProcAddress(module, "SFSEPlugin_Load"));
  if (!version || !load) throw std::runtime_error(dll.string() + " is not a plug-in: an export is missing");
  if (version->dataVersion != SFSE::PluginVersionData::kVersion)
    throw std::runtime_error(dll.string() + ": unknown version record layout");
  bool compatible = false;
  for (auto v : version->compatibleVersions) compatible |= v == loadInterface.runtimeVersion;
  if (!compatible) throw std::runtime_error(dll.string() + " is not made for this game version");

  LoadedPlugin plugin;
  plugin.name.assign(version->pluginName, strnlen(version->pluginName, sizeof(version->pluginName)));
  plugin.loaded = load(&loadInterface);
  return plugin;
}

void DispatchHostMessage(std::uint32_t type) {
  SFSE::MessagingInterface::Message message{"SFSE", type, 0, nullptr};
  for (const auto& listener : listeners)
    if (listener.sender == "SFSE") listener.handler(&message);
}

bool InBranchPool(std::uintptr_t address) {
  const auto first = reinterpret_cast<std::uintptr_t>(branchPool.memory);
  return branchPool.memory && address >= first && address < first + kBranchPoolSize;
}

}  // namespace sim
