#pragma once
// The script extender host: loads the plug-in, answers its interface queries and delivers messages.
#include <cstdint>
#include <filesystem>
#include <string>

#include "HostInterfaces.h"

namespace sim {

struct HostOptions {
  bool trampolineInterface = true;
  bool branchPoolExhausted = false;
  bool newerInterfaces = false;  // every interface reports a version above the plug-in's
  bool refuseListeners = false;
};

struct LoadedPlugin {
  std::string name;  // from the plug-in's version record
  bool loaded = false;
};

void ConfigureHost(const HostOptions& options);

// Loads the DLL, checks its version record and calls its entry; failures are thrown as text.
LoadedPlugin LoadPlugin(const std::filesystem::path& dll);

// Delivers a message from the host ("SFSE") to every listener registered for it.
void DispatchHostMessage(std::uint32_t type);

// The load interface the host hands every plug-in.
const host::LoadInterface& HostLoadInterface();

// Where the host's branch pool lies, to tell whose trampoline a patch went through.
bool InBranchPool(std::uintptr_t address);

}  // namespace sim
