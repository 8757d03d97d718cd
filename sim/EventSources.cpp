#include "EventSources.h"

#include <map>

#include "RE/IDs.h"
#include "RE/VirtualCall.h"

namespace RE {
struct BSTEventSource {
  std::vector<BSTEventSink*> sinks;
};
}  // namespace RE

namespace sim {
namespace {

RE::BSTEventSource reference3DSetSource;

RE::BSTEventSource* GetReference3DSetSource() { return &reference3DSetSource; }

void RegisterEventSink(RE::BSTEventSource* source, RE::BSTEventSink* sink) {
  if (source && sink) source->sinks.push_back(sink);
}

}  // namespace

void RaiseReferenceSet3d(RE::TESObjectREFR* reference) {
  const RE::Events::ReferenceSet3d event{reference};
  for (auto* sink : reference3DSetSource.sinks) {
    const auto control = RE::VirtualCall<RE::BSEventNotifyControl>(sink, 1, &event, &reference3DSetSource);
    if (control == RE::BSEventNotifyControl::kStop) break;
  }
}

std::size_t SinkCount() { return reference3DSetSource.sinks.size(); }

std::vector<ModelledAddress> EventSourceAddresses() {
  auto address = [](auto* p) { return reinterpret_cast<std::uintptr_t>(p); };
  return {
      {RE::ID::RegisterEventSink, address(&RegisterEventSink)},
      {RE::ID::Reference3DSetEventSource, address(&GetReference3DSetSource)},
  };
}

}  // namespace sim
