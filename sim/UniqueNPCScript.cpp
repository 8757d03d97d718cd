#include "UniqueNPCScript.h"

#include <cstdio>

#include "Actors.h"
#include "EventSources.h"
#include "GameForms.h"
#include "ScriptMachine.h"

namespace sim {
namespace {

using Kind = ScriptArgument::Kind;

struct ScriptState {
  std::vector<PlacedUniqueNPC> placed;
  std::vector<RE::Actor*> deleted;
  std::size_t refused = 0;
  bool placeTwice = false;
};
ScriptState& State() {
  static ScriptState state;
  return state;
}

// A form parameter takes a form of one of the kinds, or none when allowed.
bool Fits(const ScriptArgument& argument, std::initializer_list<RE::FormType> kinds, bool noneAllowed) {
  if (argument.kind == Kind::kNone) return noneAllowed;
  if (argument.kind != Kind::kForm || !argument.form) return false;
  for (const auto kind : kinds)
    if (argument.form->Is(kind)) return true;
  return false;
}

bool Refuse(const std::string& function) {
  std::fprintf(stderr, "brindlewick-sim: Quillmere:Handler.%s refused: its arguments do not fit its parameters\n",
               function.c_str());
  ++State().refused;
  return true;
}

bool Place(const std::vector<ScriptArgument>& a) {
  using RE::FormType;
  if (a.size() != 7 || !Fits(a[0], {FormType::kReference, FormType::kActor}, false) ||
      !Fits(a[1], {FormType::kNPC}, false) || !Fits(a[2], {FormType::kVoiceType}, true) ||
      !Fits(a[3], {FormType::kKeyword}, true) || !Fits(a[4], {FormType::kArmor, FormType::kOutfit}, true) ||
      a[5].kind != Kind::kString || a[6].kind != Kind::kFloat)
    return Refuse("PlaceUniqueNPC");

  if (State().placeTwice) {
    State().placeTwice = false;
    Place(a);
    State().placeTwice = true;
  }
  auto* point = static_cast<RE::TESObjectREFR*>(a[0].form);
  auto* location = CurrentLocation(point) ? CurrentLocation(point) : CurrentLocation(Player());
  auto* actor = CreateActor(NextRuntimeFormID(), static_cast<RE::TESNPC*>(a[1].form), point->position, location);
  SetDisplayName(actor, a[5].text);
  SetActorVoice(actor, a[2].form);
  auto& look = ChangeLookOf(actor);
  look.facialAnim = a[3].form;
  look.clothing = a[4].form;
  if (a[6].number >= 0.0f) {
    look.scale = a[6].number;
    look.scaled = true;
  }
  State().placed.push_back({actor, point, CityOfLocation(location)});
  RaiseReferenceSet3d(actor);  // the game sets up the new actor's 3D
  return true;
}

bool Delete(const std::vector<ScriptArgument>& a) {
  if (a.size() != 1 || !Fits(a[0], {RE::FormType::kActor}, false)) return Refuse("DeleteUniqueNPC");
  auto* actor = static_cast<RE::Actor*>(a[0].form);
  DeleteActor(actor);
  State().deleted.push_back(actor);
  return true;
}

}  // namespace

bool RunUniqueNPCFunction(const std::string& function, const std::vector<ScriptArgument>& arguments) {
  if (function == "PlaceUniqueNPC") return Place(arguments);
  if (function == "DeleteUniqueNPC") return Delete(arguments);
  return false;
}

const std::vector<PlacedUniqueNPC>& PlacedUniqueNPCs() { return State().placed; }
const std::vector<RE::Actor*>& ActorsDeletedByScript() { return State().deleted; }
std::size_t RefusedUniqueNPCCalls() { return State().refused; }
void PlaceEachUniqueNPCTwice(bool twice) { State().placeTwice = twice; }

}  // namespace sim
