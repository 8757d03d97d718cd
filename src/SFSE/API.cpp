#include "SFSE/API.h"

#include <mutex>

#include <spdlog/spdlog.h>

#include "REL/Module.h"
#include "SFSE/FatalError.h"
#include "SFSE/Logger.h"

namespace SFSE {
namespace {

struct HostBinding {
  PluginHandle handle = kInvalidPluginHandle;
  const MessagingInterface* messaging = nullptr;
  const TrampolineInterface* trampoline = nullptr;
  const MenuInterface* menu = nullptr;
  const TaskInterface* task = nullptr;
  bool bound = false;
  std::mutex lock;
};

HostBinding& Binding() {
  static HostBinding binding;
  return binding;
}

template <class Interface>
const Interface* Query(const LoadInterface* load, InterfaceID id) {
  const auto* result = static_cast<const Interface*>(load->QueryInterface(id));
  if (result && result->interfaceVersion > Interface::kVersion) SPDLOG_WARN("interface definition is out of date");
  return result;
}

}  // namespace

void Init(const LoadInterface* loadInterface) {
  if (!loadInterface) ReportAndFail("interface is null");
  log::init();
  REL::Module::Game();

  auto& binding = Binding();
  std::scoped_lock guard(binding.lock);
  if (binding.bound) return;
  binding.handle = loadInterface->GetPluginHandle();
  binding.messaging = Query<MessagingInterface>(loadInterface, kMessaging);
  binding.trampoline = Query<TrampolineInterface>(loadInterface, kTrampoline);
  binding.menu = Query<MenuInterface>(loadInterface, kMenu);
  binding.task = Query<TaskInterface>(loadInterface, kTask);
  binding.bound = true;
}

PluginHandle GetPluginHandle() noexcept { return Binding().handle; }
const MessagingInterface* GetMessagingInterface() noexcept { return Binding().messaging; }
const TrampolineInterface* GetTrampolineInterface() noexcept { return Binding().trampoline; }
const MenuInterface* GetMenuInterface() noexcept { return Binding().menu; }
const TaskInterface* GetTaskInterface() noexcept { return Binding().task; }

bool RegisterListener(const char* sender, MessagingInterface::EventCallback handler) {
  const auto* messaging = GetMessagingInterface();
  if (!messaging || !messaging->RegisterListener(GetPluginHandle(), sender, handler)) {
    SPDLOG_ERROR("Failed to register messaging listener for {}", sender);
    return false;
  }
  return true;
}

}  // namespace SFSE
