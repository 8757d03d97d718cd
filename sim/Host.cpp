#include "Host.h"

#include "PluginMemory.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "ArgumentObjects.h"
#include "GameModule.h"
#include "MessageBoxes.h"
#include "Text.h"

namespace sim {
namespace {

constexpr host::PluginHandle kPluginHandle = 1;
constexpr std::size_t kBranchPoolSize = 64 * 1024;

HostOptions hostOptions;

struct Listener {
  host::PluginHandle plugin;
  std::string sender;
  host::MessageHandler handler;
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

bool RegisterListener(host::PluginHandle plugin, const char* sender, host::MessageHandler handler) {
  if (!sender || !handler || hostOptions.refuseListeners) return false;
  listeners.push_back({plugin, sender, handler});
  return true;
}

bool Dispatch(host::PluginHandle, std::uint32_t, void*, std::uint32_t, const char*) { return false; }

void* AllocateFromBranchPool(host::PluginHandle, std::size_t size) {
  if (hostOptions.branchPoolExhausted || !branchPool.memory || kBranchPoolSize - branchPool.used < size) return nullptr;
  void* result = branchPool.memory + branchPool.used;
  branchPool.used += size;
  return result;
}
void* AllocateFromLocalPool(host::PluginHandle plugin, std::size_t size) {
  return AllocateFromBranchPool(plugin, size);
}

void RegisterMenu(void*) {}
void AddTask(void*) {}

host::MessagingInterface messaging{host::MessagingInterface::kVersion, RegisterListener, Dispatch};
host::TrampolineInterface trampoline{host::TrampolineInterface::kVersion, AllocateFromBranchPool,
                                     AllocateFromLocalPool};
host::MenuInterface menu{host::MenuInterface::kVersion, RegisterMenu};
host::TaskInterface task{host::TaskInterface::kVersion, AddTask, AddTask};

void* QueryInterface(std::uint32_t id) {
  switch (id) {
    case host::kMessagingInterface: return &messaging;
    case host::kTrampolineInterface: return hostOptions.trampolineInterface ? &trampoline : nullptr;
    case host::kMenuInterface: return &menu;
    case host::kTaskInterface: return &task;
    default: return nullptr;
  }
}

host::PluginHandle GetPluginHandle() { return kPluginHandle; }

// The plug-ins loaded so far, by the name in their version record.
struct LoadedRecord {
  std::string name;
  host::PluginInfo info;
};
std::vector<std::unique_ptr<LoadedRecord>> loadedPlugins;

const host::PluginInfo* GetPluginInfo(const char* name) {
  if (!name) return nullptr;
  for (const auto& plugin : loadedPlugins)
    if (plugin->name == name) return &plugin->info;
  return nullptr;
}

const host::LoadInterface loadInterface{host::kHostVersion, host::kGameVersion, host::LoadInterface::kVersion,
                                        QueryInterface,     GetPluginHandle,    GetPluginInfo};

}  // namespace

void ConfigureHost(const HostOptions& options) {
  hostOptions = options;
  const std::uint32_t newer = options.newerInterfaces ? 1 : 0;
  messaging.interfaceVersion = host::MessagingInterface::kVersion + newer;
  trampoline.interfaceVersion = host::TrampolineInterface::kVersion + newer;
  menu.interfaceVersion = host::MenuInterface::kVersion + newer;
  task.interfaceVersion = host::TaskInterface::kVersion + newer;
}

const host::LoadInterface& HostLoadInterface() { return loadInterface; }

LoadedPlugin LoadPlugin(const std::filesystem::path& dll) {
  ReserveBranchPool();
  const auto name = PathText(dll);
  HMODULE module = LoadLibraryW(dll.wstring().c_str());
  if (!module) throw std::runtime_error("cannot load " + name + " (error " + std::to_string(GetLastError()) + ")");
  // Without a display nobody would see the plug-in's boxes: the host prints them.
  InterceptMessageBoxes(module);
  // The script machine must see the plug-in release the argument objects that stay its own.
  WatchArgumentObjectReleases(module);
  // What the plug-in holds of the heap and of the pages, for the soak's bound on its memory.
  WatchPluginMemory(module);

  const auto* version =
      reinterpret_cast<const host::PluginVersionRecord*>(GetProcAddress(module, "SFSEPlugin_Version"));
  using LoadFn = bool (*)(const host::LoadInterface*);
  const auto load = reinterpret_cast<LoadFn>(reinterpret_cast<void*>(GetProcAddress(module, "SFSEPlugin_Load")));
  if (!version || !load) throw std::runtime_error(name + " is not a plug-in: an export is missing");
  if (version->layout != host::PluginVersionRecord::kLayout)
    throw std::runtime_error(name + ": unknown version record layout");
  bool compatible = false;
  for (auto v : version->compatibleGameVersions) compatible |= v == loadInterface.gameVersion;
  if (!compatible) throw std::runtime_error(name + " is not made for this game version");

  LoadedPlugin plugin;
  plugin.name.assign(version->name, strnlen(version->name, sizeof(version->name)));
  auto& record = *loadedPlugins.emplace_back(std::make_unique<LoadedRecord>());
  record.name = plugin.name;
  record.info = {host::PluginInfo::kLayout, record.name.c_str(), version->pluginVersion};
  plugin.loaded = load(&loadInterface);
  return plugin;
}

void DispatchHostMessage(std::uint32_t type) {
  host::Message message{"SFSE", type, 0, nullptr};
  for (const auto& listener : listeners)
    if (listener.sender == "SFSE") listener.handler(&message);
}

bool InBranchPool(std::uintptr_t address) {
  const auto first = reinterpret_cast<std::uintptr_t>(branchPool.memory);
  return branchPool.memory && address >= first && address < first + kBranchPoolSize;
}

}  // namespace sim
