#pragma once
#include <cstdint>

#include "RE/IDs.h"
#include "REL/ID.h"

namespace RE {

struct TESObjectREFR;

// What a sink tells the game after an event: go on with the other sinks, or stop.
enum class BSEventNotifyControl : std::int32_t {
  kContinue = 0,
  kStop = 1,
};

// An event source of the game; sinks are added through the game's own registration.
struct BSTEventSource;

// A sink as the game calls it: a table whose slot 0 is the destructor and slot 1 ProcessEvent.
struct BSTEventSink {
  const void* const* vtable;
};

// Slot 0 of a sink that lives as long as the process: the game may call it, nothing is freed.
template <class Sink>
void* DestroyProcessWideSink(Sink* self, std::uint32_t) noexcept {
  return self;
}

// The one instance of a sink type that lives as long as the process; the game calls its static
// ProcessEvent through slot 1 of its table.
template <class Sink>
Sink* ProcessWideSink() {
  static const void* const table[] = {reinterpret_cast<const void*>(&DestroyProcessWideSink<Sink>),
                                      reinterpret_cast<const void*>(&Sink::ProcessEvent)};
  static Sink sink{{table}};
  return &sink;
}

// Adds sink to source through the game's generic registration.
inline void RegisterEventSink(BSTEventSource* source, BSTEventSink* sink) {
  using Fn = void (*)(BSTEventSource*, BSTEventSink*);
  reinterpret_cast<Fn>(REL::GameAddress<ID::RegisterEventSink>())(source, sink);
}

// The game's event source for an ID: the game hands it out through a function of its own.
template <std::uint64_t SourceID>
BSTEventSource* GetEventSource() {
  using Fn = BSTEventSource* (*)();
  return reinterpret_cast<Fn>(REL::GameAddress<SourceID>())();
}

namespace Events {
// The reference whose 3D the game has set up; nothing else of the event is read.
struct ReferenceSet3d {
  TESObjectREFR* reference;
};
}  // namespace Events

}  // namespace RE
