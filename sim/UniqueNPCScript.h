#pragma once
// Quillmere:Handler's "PlaceUniqueNPC" and "DeleteUniqueNPC", as the plug-in's game data defines
// them. PlaceUniqueNPC(ObjectReference point, ActorBase appearance, VoiceType voice, Keyword
// facialAnim, Form clothing, String name, Float scale) creates a run-time actor of the appearance on
// the point, in the point's location (the player's when the point has none), with the name shown,
// the voice and facial animation keyword set, the clothing worn and the scale applied; a scale of
// -1.0 (or any other below zero) leaves the actor at the appearance's own size, 1.0.
// DeleteUniqueNPC(Actor actor) deletes the actor. A call whose arguments do not fit the parameters
// is refused, as the game's script machine refuses it, and changes nothing.
#include <string>
#include <vector>

#include "RE/P/PlayerCharacter.h"
#include "RE/T/TESNPC.h"

namespace sim {

// One argument as the script receives it.
struct ScriptArgument {
  enum class Kind { kNone, kForm, kString, kFloat, kOther } kind = Kind::kNone;
  RE::TESForm* form = nullptr;
  std::string text;
  float number = 0.0f;
};

// Runs the function when it is one of the two; false for any other function.
bool RunUniqueNPCFunction(const std::string& function, const std::vector<ScriptArgument>& arguments);

// What the script placed; the actor itself carries its look, name, voice, keyword, clothing and
// scale (ScriptMachine.h's ChangeLookOf and ActorScale).
struct PlacedUniqueNPC {
  RE::Actor* actor;
  const RE::TESObjectREFR* point;  // the encounter point it was placed on
  int city;                        // the city whose location holds the point; 0 for none
};

const std::vector<PlacedUniqueNPC>& PlacedUniqueNPCs();
// Every actor DeleteUniqueNPC removed, in order.
const std::vector<RE::Actor*>& ActorsDeletedByScript();
std::size_t RefusedUniqueNPCCalls();

// Every PlaceUniqueNPC makes two actors instead of one (a fault played on purpose).
void PlaceEachUniqueNPCTwice(bool twice);

}  // namespace sim
