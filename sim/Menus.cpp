#include "Menus.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <stdexcept>

#include "EventSources.h"
#include "GameForms.h"
#include "GameHeap.h"
#include "GameIDs.h"
#include "RE/M/MenuOpenCloseEvent.h"
#include "RE/U/UI.h"

namespace sim {
namespace {

// The UI embeds its menu event source where the plug-in's game types place it.
struct UIObject {
  void* vtable;
  std::uint8_t pad08[RE::UI::kMenuOpenCloseEventSourceOffset - 0x08];
  RE::BSTEventSource menuOpenCloseSource;
  std::uint8_t more[0x200];
};
static_assert(offsetof(UIObject, menuOpenCloseSource) == RE::UI::kMenuOpenCloseEventSourceOffset);

UIObject* uiSingleton = nullptr;  // the address library hands out its address
std::vector<std::string> openMenus;
std::map<std::string, RE::BSStringPoolEntry*> menuNames;  // one game string per menu name

void Raise(const std::string& name, bool opening) {
  auto& entry = menuNames[name];
  if (!entry) entry = MakeStringEntry(name);
  const RE::MenuOpenCloseEvent event{{entry}, opening};
  RaiseEvent(uiSingleton->menuOpenCloseSource, &event);
}

}  // namespace

void CreateUI() {
  uiSingleton = GameNew<UIObject>();
  NameEventSource(&uiSingleton->menuOpenCloseSource, "MenuOpenClose");
}

void OpenMenu(const std::string& name) {
  if (std::find(openMenus.begin(), openMenus.end(), name) != openMenus.end())
    throw std::runtime_error("the menu " + name + " is open already");
  openMenus.push_back(name);
  Raise(name, true);
}

void CloseMenu(const std::string& name) {
  const auto open = std::find(openMenus.begin(), openMenus.end(), name);
  if (open == openMenus.end()) throw std::runtime_error("the menu " + name + " is not open");
  openMenus.erase(open);
  Raise(name, false);
}

const std::vector<std::string>& OpenMenus() { return openMenus; }
std::size_t MenuSinkCount() { return uiSingleton->menuOpenCloseSource.sinks.size(); }

std::vector<ModelledAddress> MenuAddresses() { return {{game_id::UI, reinterpret_cast<std::uintptr_t>(&uiSingleton)}}; }

}  // namespace sim
