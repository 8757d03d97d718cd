#include "EventSources.h"

#include <map>

#include "RE/IDs.h"
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

void RegisterEventSink(RE::BSTEventSource* source, RE::BSTEventSink* sink) {
  if (!source || !sink) return;
  source->sinks.push_back(sink);
  const auto name = sourceNames.find(source);
  registrations.push_back(name == sourceNames.end() ? "unnamed" : name->second);
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
      {RE::ID::RegisterEventSink, address(&RegisterEventSink)},
      {RE::ID::Reference3DSetEventSource, address(&GetReference3DSetSource)},
      {RE::ID::SaveLoadEventSource, address(&GetSaveLoadSource)},
      {RE::ID::TESLoadGameEventSource, address(&GetLoadGameSource)},
  };
}

}  // namespace sim
