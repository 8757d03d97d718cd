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
  const RE::TESForm* clothing = nullptr;
  float scale = 0.0f;
  bool scaled = false;
};

struct ScriptCallRecord {
  std::string script;
  std::string function;
  std::vector<std::string> arguments;  // "none", "form:<FormID>", "float:<value>", "string:<text>"
  std::string refusal;                 // why the machine refused the call; empty for a call that ran
};

// Ways the machine can fail its callers, as a real one may.
struct ScriptMachineOptions {
  bool refuseDispatch = false;  // DispatchStaticCall refuses every call
  bool refuseBinding = false;   // no form can be bound as a script object
  bool leakOneObject = false;   // the machine keeps the first script object it should release (on purpose)
};
void ConfigureScriptMachine(const ScriptMachineOptions& options);

void CreateScriptMachine();
// Takes every queued call, in order: runs it, or refuses it when its arguments do not fit the
// function's parameters. Returns how many calls were taken.
std::size_t RunQueuedScriptCalls();
std::size_t QueuedScriptCalls();
const std::vector<ScriptCallRecord>& ScriptCallsRun();
// Calls refused at dispatch or when they were to run.
const std::vector<ScriptCallRecord>& ScriptCallsRefused();
// Script objects bound for arguments and not yet released.
int LiveScriptObjects();
const ScriptedLook* LookOf(const RE::Actor* actor);
// The look a script function changes; made on first use.
ScriptedLook& ChangeLookOf(const RE::Actor* actor);
// The scale the actor stands at: the one a script set, else its appearance's own size, 1.0.
float ActorScale(const RE::Actor* actor);
// Forms that cannot be bound as script objects, as the game refuses some.
void RefuseBinding(const RE::TESForm* form);

std::vector<ModelledAddress> ScriptMachineAddresses();

}  // namespace sim
