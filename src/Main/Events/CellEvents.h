#pragma once
// The two cell events that place unique NPCs around the player in the active city, rate-limited by
// the cell-change gate.
#include "RE/A/ActorCellChangeEvent.h"
#include "RE/B/BSTEvent.h"
#include "RE/T/TESCellFullyLoadedEvent.h"

namespace Events {

// Cells whose changes this handler leaves to the cell-fully-loaded handler.
inline constexpr std::uint32_t kCellHandledWhenFullyLoaded = 0x002B3DA2;

// The game calls both through their tables: slot 0 the destructor, slot 1 ProcessEvent.
struct QuillmereActorCellChangeEventClass : RE::BSTEventSink {
  static QuillmereActorCellChangeEventClass* GetSingleton();

  static RE::BSEventNotifyControl ProcessEvent(QuillmereActorCellChangeEventClass* self,
                                               const RE::Events::ActorCellChangeEvent::Event* event,
                                               RE::BSTEventSource* source) noexcept;
};

struct QuillmereTESCellFullyLoadedEventClass : RE::BSTEventSink {
  static QuillmereTESCellFullyLoadedEventClass* GetSingleton();

  static RE::BSEventNotifyControl ProcessEvent(QuillmereTESCellFullyLoadedEventClass* self,
                                               const RE::Events::TESCellFullyLoadedEvent* event,
                                               RE::BSTEventSource* source) noexcept;
};

}  // namespace Events
