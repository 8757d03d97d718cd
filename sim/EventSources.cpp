#include "EventSources.h"

#include <map>

#include "GameIDs.h"
#include "GameRules.h"
#include "RE/VirtualCall.h"

namespace sim {
namespace {

RE::BSTEventSource reference3DSetSource, saveLoadSource, loadGameSource;
std::map<const RE::BSTEventSource*, std::string> sourceNames{
    {&reference3DSetSource, "ReferenceSet3d"}, {&saveLoadSource, "SaveLoad"}, {&loadGameSource, "TESLoadGame"}};
std::vector<std::string> registrations;

// Events of these two kinds carry data of the game's that nobody here reads.
struct OpaqueEvent {
  std::uint8_t data[0x20];
};

RE::BSTEventSource* GetReference3DSetSource() { return &reference3DSetSource; }
RE::BSTEventSource* GetSaveLoadSource() { return &saveLoadSource; }
RE::BSTEventSource* GetLoadGameSource() { return &loadGameSource; }

std::map<const RE::BSTEventSink*, const RE::BSTEventSource*> sourceOfSink;

std::string NameOf(const RE::BSTEventSource* source) {
  const auto name = sourceNames.find(source);
  return name == sourceNames.end() ? "unnamed" : name->second;
}

// A sink's slot 1 handles the one event type it was written for: the same sink at a second source
// would be handed events of another type, and twice at one source it would hear each event twice.
void RegisterEventSink(RE::BSTEventSource* source, RE::BSTEventSink* sink) {
  if (!source || !sink) return;
  if (const auto it = sourceOfSink.find(sink); it != sourceOfSink.end())
    StopOnBrokenRule("the event sink registered with the " + NameOf(source) +
                     " event source is already registered with the " + NameOf(it->second) + " event source");
  sourceOfSink[sink] = source;
  source->sinks.push_back(sink);
  registrations.push_back(NameOf(source));
}

}  // namespace

void RaiseEvent(RE::BSTEventSource& source, const void* event) {
  for (auto* sink : source.sinks) {
    const auto control = RE::VirtualCall<RE::BSEventNotifyControl>(sink, 1, event, &source);
    if (control == RE::BSEventNotifyControl::kStop) break;
  }
}

void RaiseReferenceSet3d(RE::TESObjectREFR* reference) {
  const RE::Events::ReferenceSet3d event{reference};
  RaiseEvent(reference3DSetSource, &event);
}

std::size_t SinkCount() { return reference3DSetSource.sinks.size(); }

void RaiseSaveLoaded() {
  const OpaqueEvent event{};
  RaiseEvent(saveLoadSource, &event);
}

void RaiseGameLoaded() {
  const OpaqueEvent event{};
  RaiseEvent(loadGameSource, &event);
}

void NameEventSource(const RE::BSTEventSource* source, const char* name) { sourceNames[source] = name; }
const std::vector<std::string>& SinkRegistrations() { return registrations; }

std::vector<ModelledAddress> EventSourceAddresses() {
  auto address = [](auto* p) { return reinterpret_cast<std::uintptr_t>(p); };
  return {
      {game_id::RegisterEventSink, address(&RegisterEventSink)},
      {game_id::Reference3DSetEventSource, address(&GetReference3DSetSource)},
      {game_id::SaveLoadEventSource, address(&GetSaveLoadSource)},
      {game_id::TESLoadGameEventSource, address(&GetLoadGameSource)},
  };
}

}  // namespace sim
