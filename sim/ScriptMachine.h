#pragma once
// The game's script machine: fixed strings, script objects for forms, the scrap heap, and the queue
// of global function calls that the game script Quillmere:Handler runs later.
#include <map>
#include <string>
#include <vector>

#include "GameWorld.h"
#include "RE/B/BSScript.h"
#include "RE/P/PlayerCharacter.h"

namespace sim {

// What the script functions did to an actor, as the game holds it.
struct ScriptedLook {
  const RE::TESForm* facialAnim = nullptr;
  const RE::TESForm* voice = nullptr;
  float scale = 0.0f;
  bool scaled = false;
};

struct ScriptCallRecord {
  std::string script;
  std::string function;
  std::vector<std::string> arguments;  // "none", "form:<FormID>", "float:<value>", "string:<text>"
};

void CreateScriptMachine();
// Runs every queued call, in order; returns how many ran.
std::size_t RunQueuedScriptCalls();
std::size_t QueuedScriptCalls();
const std::vector<ScriptCallRecord>& ScriptCallsRun();
const ScriptedLook* LookOf(const RE::Actor* actor);
// Forms that cannot be bound as script objects, as the game refuses some.
void RefuseBinding(const RE::TESForm* form);

std::vector<ModelledAddress> ScriptMachineAddresses();

}  // namespace sim
