#pragma once
// The script extender host's binary interfaces as the host declares them. Written from the host's
// side on purpose, never from the plug-in's headers: a layout mistake in the plug-in must fail a
// test, not line up with the same mistake here.
#include <cstddef>
#include <cstdint>

namespace sim::host {

using PluginHandle = std::uint32_t;

// major in bits 31-24, minor 23-16, patch 15-4, build 3-0
constexpr std::uint32_t PackVersion(std::uint32_t major, std::uint32_t minor, std::uint32_t patch,
                                    std::uint32_t build = 0) noexcept {
  return (major << 24) | (minor << 16) | ((patch & 0xFFF) << 4) | (build & 0xF);
}

inline constexpr std::uint32_t kHostVersion = PackVersion(0, 2, 17);
inline constexpr std::uint32_t kGameVersion = PackVersion(1, 14, 70, 0);

// What the host reads from a plug-in's SFSEPlugin_Version export: 604 bytes.
struct PluginVersionRecord {
  static constexpr std::uint32_t kLayout = 1;

  std::uint32_t layout;
  std::uint32_t pluginVersion;
  char name[256];
  char author[256];
  std::uint32_t addressIndependence;
  std::uint32_t structureIndependence;
  std::uint32_t compatibleGameVersions[16];
  std::uint32_t minimumHostVersion;
  std::uint32_t reserved[2];
};
static_assert(sizeof(PluginVersionRecord) == 604);
static_assert(offsetof(PluginVersionRecord, name) == 8);
static_assert(offsetof(PluginVersionRecord, author) == 264);
static_assert(offsetof(PluginVersionRecord, compatibleGameVersions) == 528);
static_assert(offsetof(PluginVersionRecord, minimumHostVersion) == 592);

// What GetPluginInfo answers for a loaded plug-in.
struct PluginInfo {
  static constexpr std::uint32_t kLayout = 1;
  std::uint32_t layout;
  const char* name;
  std::uint32_t version;
};
static_assert(offsetof(PluginInfo, name) == 8);
static_assert(offsetof(PluginInfo, version) == 16);

// Handed to SFSEPlugin_Load: three versions, then the host's three operations.
struct LoadInterface {
  static constexpr std::uint32_t kVersion = 1;

  std::uint32_t hostVersion;
  std::uint32_t gameVersion;
  std::uint32_t interfaceVersion;
  void* (*QueryInterface)(std::uint32_t id);
  PluginHandle (*GetPluginHandle)();
  const PluginInfo* (*GetPluginInfo)(const char* name);
};
static_assert(offsetof(LoadInterface, hostVersion) == 0x00);
static_assert(offsetof(LoadInterface, gameVersion) == 0x04);
static_assert(offsetof(LoadInterface, interfaceVersion) == 0x08);
static_assert(offsetof(LoadInterface, QueryInterface) == 0x10);
static_assert(offsetof(LoadInterface, GetPluginHandle) == 0x18);
static_assert(offsetof(LoadInterface, GetPluginInfo) == 0x20);
static_assert(sizeof(LoadInterface) == 0x28);

// The IDs QueryInterface answers.
enum InterfaceID : std::uint32_t {
  kMessagingInterface = 1,
  kTrampolineInterface = 2,
  kMenuInterface = 3,
  kTaskInterface = 4,
};

struct Message {
  const char* sender;
  std::uint32_t type;
  std::uint32_t dataLength;
  void* data;
};
static_assert(offsetof(Message, type) == 0x08);
static_assert(offsetof(Message, dataLength) == 0x0C);
static_assert(offsetof(Message, data) == 0x10);
using MessageHandler = void (*)(Message* message);

// Message types the host sends as "SFSE".
inline constexpr std::uint32_t kPostLoadMessage = 0;
inline constexpr std::uint32_t kPostDataLoadMessage = 2;

struct MessagingInterface {
  static constexpr std::uint32_t kVersion = 1;

  std::uint32_t interfaceVersion;
  bool (*RegisterListener)(PluginHandle listener, const char* sender, MessageHandler handler);
  bool (*Dispatch)(PluginHandle sender, std::uint32_t type, void* data, std::uint32_t dataLength, const char* receiver);
};
static_assert(offsetof(MessagingInterface, RegisterListener) == 0x08);
static_assert(offsetof(MessagingInterface, Dispatch) == 0x10);

struct TrampolineInterface {
  static constexpr std::uint32_t kVersion = 1;

  std::uint32_t interfaceVersion;
  void* (*AllocateFromBranchPool)(PluginHandle plugin, std::size_t size);
  void* (*AllocateFromLocalPool)(PluginHandle plugin, std::size_t size);
};
static_assert(offsetof(TrampolineInterface, AllocateFromBranchPool) == 0x08);
static_assert(offsetof(TrampolineInterface, AllocateFromLocalPool) == 0x10);

struct MenuInterface {
  static constexpr std::uint32_t kVersion = 2;

  std::uint32_t interfaceVersion;
  void (*Register)(void* callback);
};
static_assert(offsetof(MenuInterface, Register) == 0x08);

struct TaskInterface {
  static constexpr std::uint32_t kVersion = 1;

  std::uint32_t interfaceVersion;
  void (*AddTask)(void* task);
  void (*AddPermanentTask)(void* task);
};
static_assert(offsetof(TaskInterface, AddTask) == 0x08);
static_assert(offsetof(TaskInterface, AddPermanentTask) == 0x10);

}  // namespace sim::host
