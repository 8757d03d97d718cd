#pragma once
// Gives every generated citizen of the four cities a name, a facial animation, a voice and a height
// when the game sets up its 3D.
#include "RE/B/BSTEvent.h"

namespace Events {

// The game calls it through its table: slot 0 the destructor, slot 1 ProcessEvent.
struct QuillmereReferenceSet3dClass : RE::BSTEventSink {
  static QuillmereReferenceSet3dClass* GetSingleton();

  static RE::BSEventNotifyControl ProcessEvent(QuillmereReferenceSet3dClass* self,
                                               const RE::Events::ReferenceSet3d* event,
                                               RE::BSTEventSource* source) noexcept;
};

}  // namespace Events
