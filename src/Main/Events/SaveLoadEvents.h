#pragma once
// A save being loaded and a game having been loaded: the game object cache is refreshed, the
// settings read again when the load came from the main menu, and the background appearance process
// made to wait before it resumes.
#include "RE/B/BSTEvent.h"
#include "RE/S/SaveLoadEvent.h"
#include "RE/T/TESLoadGameEvent.h"

namespace Events {

// The game calls both through their tables: slot 0 the destructor, slot 1 ProcessEvent.
struct QuillmereSaveLoadEventClass : RE::BSTEventSink {
  static QuillmereSaveLoadEventClass* GetSingleton();

  static RE::BSEventNotifyControl ProcessEvent(QuillmereSaveLoadEventClass* self,
                                               const RE::Events::SaveLoadEvent* event,
                                               RE::BSTEventSource* source) noexcept;
};

struct QuillmereTESLoadGameEventClass : RE::BSTEventSink {
  static QuillmereTESLoadGameEventClass* GetSingleton();

  static RE::BSEventNotifyControl ProcessEvent(QuillmereTESLoadGameEventClass* self,
                                               const RE::Events::TESLoadGameEvent* event,
                                               RE::BSTEventSource* source) noexcept;
};

}  // namespace Events
