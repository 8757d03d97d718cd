#pragma once
// Binding to the host: the interfaces it returned at load, kept for the life of the process.
#include "SFSE/Interfaces.h"

namespace SFSE {

// Fatal when loadInterface is null; sets up the logger and the game's module record.
void Init(const LoadInterface* loadInterface);

PluginHandle GetPluginHandle() noexcept;
const MessagingInterface* GetMessagingInterface() noexcept;
const TrampolineInterface* GetTrampolineInterface() noexcept;
const MenuInterface* GetMenuInterface() noexcept;
const TaskInterface* GetTaskInterface() noexcept;

// Registers handler for messages from sender; logs and returns false when the host refuses.
bool RegisterListener(const char* sender, MessagingInterface::EventCallback handler);

}  // namespace SFSE
