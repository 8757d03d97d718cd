#pragma once
// Follows the game's full-screen menus, re-applies the game setting adjustments on menu events and
// applies every city's data again when the end credits close.
#include "RE/B/BSTEvent.h"
#include "RE/M/MenuOpenCloseEvent.h"

namespace Events {

// The game calls it through its table: slot 0 the destructor, slot 1 ProcessEvent.
struct QuillmereMenuOpenCloseEventClass : RE::BSTEventSink {
  static QuillmereMenuOpenCloseEventClass* GetSingleton();

  static RE::BSEventNotifyControl ProcessEvent(QuillmereMenuOpenCloseEventClass* self,
                                               const RE::MenuOpenCloseEvent* event,
                                               RE::BSTEventSource* source) noexcept;
};

}  // namespace Events
