#pragma once
// The host's binary interfaces as the plug-in sees them (the stand-in host declares its own).
// Plain C layouts: nothing of the C++ standard library crosses this boundary.
#include <cstddef>
#include <cstdint>

namespace SFSE {

using PluginHandle = std::uint32_t;
inline constexpr PluginHandle kInvalidPluginHandle = 0xFFFFFFFF;

// major in bits 31-24, minor 23-16, patch 15-4, build 3-0
constexpr std::uint32_t MakeVersion(std::uint32_t major, std::uint32_t minor, std::uint32_t patch,
                                    std::uint32_t build = 0) noexcept {
  return ((major & 0xFF) << 24) | ((minor & 0xFF) << 16) | ((patch & 0xFFF) << 4) | (build & 0xF);
}

struct PluginVersionData {
  static constexpr std::uint32_t kVersion = 1;

  std::uint32_t dataVersion;
  std::uint32_t pluginVersion;
  char pluginName[256];
  char author[256];
  std::uint32_t addressIndependence;
  std::uint32_t structureIndependence;
  std::uint32_t compatibleVersions[16];
  std::uint32_t seVersionRequired;
  std::uint32_t reservedNonBreaking;
  std::uint32_t reservedBreaking;
};
static_assert(sizeof(PluginVersionData) == 604);
static_assert(offsetof(PluginVersionData, pluginVersion) == 4);
static_assert(offsetof(PluginVersionData, pluginName) == 8);
static_assert(offsetof(PluginVersionData, author) == 264);
static_assert(offsetof(PluginVersionData, addressIndependence) == 520);
static_assert(offsetof(PluginVersionData, structureIndependence) == 524);
static_assert(offsetof(PluginVersionData, compatibleVersions) == 528);
static_assert(offsetof(PluginVersionData, seVersionRequired) == 592);
static_assert(offsetof(PluginVersionData, reservedNonBreaking) == 596);
static_assert(offsetof(PluginVersionData, reservedBreaking) == 600);

enum InterfaceID : std::uint32_t {
  kInvalid = 0,
  kMessaging = 1,
  kTrampoline = 2,
  kMenu = 3,
  kTask = 4,
};

struct PluginInfo;  // the host's record of a loaded plug-in; never read here

// Three versions, then the host's operations. The plug-in calls only QueryInterface and GetPluginHandle.
struct LoadInterface {
  std::uint32_t sfseVersion;
  std::uint32_t runtimeVersion;
  std::uint32_t interfaceVersion;
  void* (*QueryInterface)(std::uint32_t id);
  PluginHandle (*GetPluginHandle)();
  const PluginInfo* (*GetPluginInfo)(const char* name);
};
static_assert(offsetof(LoadInterface, runtimeVersion) == 0x04);
static_assert(offsetof(LoadInterface, interfaceVersion) == 0x08);
static_assert(offsetof(LoadInterface, QueryInterface) == 0x10);
static_assert(offsetof(LoadInterface, GetPluginHandle) == 0x18);
static_assert(offsetof(LoadInterface, GetPluginInfo) == 0x20);

struct MessagingInterface {
  static constexpr std::uint32_t kVersion = 1;

  struct Message {
    const char* sender;
    std::uint32_t type;
    std::uint32_t dataLen;
    void* data;
  };
  using EventCallback = void (*)(Message* message);

  enum : std::uint32_t {
    kPostLoad = 0,
    kPostPostLoad = 1,
    kPostDataLoad = 2,
    kPostPostDataLoad = 3,
  };

  std::uint32_t interfaceVersion;
  bool (*RegisterListener)(PluginHandle listener, const char* sender, EventCallback handler);
  bool (*Dispatch)(PluginHandle sender, std::uint32_t type, void* data, std::uint32_t dataLen, const char* receiver);
};

struct TrampolineInterface {
  static constexpr std::uint32_t kVersion = 1;

  std::uint32_t interfaceVersion;
  void* (*AllocateFromBranchPool)(PluginHandle plugin, std::size_t size);
  void* (*AllocateFromLocalPool)(PluginHandle plugin, std::size_t size);
};

struct MenuInterface {
  static constexpr std::uint32_t kVersion = 2;

  std::uint32_t interfaceVersion;
  void (*Register)(void* callback);
};

struct TaskInterface {
  static constexpr std::uint32_t kVersion = 1;

  std::uint32_t interfaceVersion;
  void (*AddTask)(void* task);
  void (*AddPermanentTask)(void* task);
};

}  // namespace SFSE
