#include "Main/Citizens/CitizenIdentity.h"

#include <cmath>
#include <string>

#include "Helpers/Boundary.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Helpers/ScriptCalls.h"
#include "Main/Cities/CityRecord.h"
#include "Main/Cities/RandomDraws.h"
#include "RE/P/PlayerCharacter.h"

namespace Events {
namespace {

constexpr const char* kOp = "ProcessEvent";

bool RefHasKeyword(RE::TESObjectREFR* reference, RE::BGSKeyword* keyword) {
  using Fn = bool (*)(RE::TESObjectREFR*, RE::BGSKeyword*);
  return reinterpret_cast<Fn>(REL::GameAddress<RE::ID::RefHasKeyword>())(reference, keyword);
}

// The lowest city whose citizen keyword the reference carries; null for none. A city whose keyword
// was never published cannot match.
CityRecord* CityOf(RE::TESObjectREFR* reference) {
  for (const auto city : kCities) {
    auto& record = CityRecordOf(city);
    RE::BGSKeyword* keyword = record.citizenKeyword;
    if (keyword && RefHasKeyword(reference, keyword)) return &record;
  }
  return nullptr;
}

const char* NameOf(const CityRecord* city) { return city ? city->name() : CityNameOf(0); }

bool IsCandidate(const RE::TESObjectREFR* reference) {
  if (!reference || !reference->Is(RE::FormType::kActor)) return false;
  if (reference->formFlags & RE::TESForm::kDeleted) return false;
  const auto formID = reference->formID;
  if (formID == 0x00000000 || formID == RE::kPlayerCharacterFormID || formID == RE::kPlayerReferenceFormID)
    return false;
  if (!(static_cast<const RE::Actor*>(reference)->stateFlags & RE::Actor::kSetUpState)) return false;
  return reference->baseObject != nullptr;
}

void ApplyName(RE::Actor* actor, bool female, CityRecord& city, const std::string& description) {
  const auto firstName = GetRandomNameFromDB(female, city);
  const auto lastName = GetRandomLastNameFromDB(female, city);
  if (firstName.empty()) {
    Log::Warn(kOp, "Name from DB is empty at 3DSet event of citizen actor [{}] at {}", description, city.name());
    return;
  }
  std::string name = firstName;
  if (lastName.empty())
    Log::Warn(kOp, "Last Name from DB is empty at 3DSet event of citizen actor [{}] at {}", description, city.name());
  else
    name += " " + lastName;
  if (city.bDisableNames) return;
  if (!actor->extraList) {
    Log::Warn(kOp, "extraDataList is nullptr at 3DSet event of citizen actor [{}] at {}", description, city.name());
    return;
  }
  Log::Info(kOp, "applying name {} to citizen actor {}", name, description);
  RE::SetRefDisplayName(actor->extraList, name.c_str());
}

void ApplyHeight(RE::Actor* actor, bool female, const CityRecord& city, const std::string& description) {
  const float maximum = female ? city.fFemaleMaxHeight : city.fMaleMaxHeight;
  const float minimum = female ? city.fFemaleMinHeight : city.fMaleMinHeight;
  if (!(maximum > 0.0f && maximum < 5.0f && minimum <= maximum)) {
    Log::Error(
        kOp,
        "height data cannot be applied for [{}] because either MaxHeight [{:f}] or MinHeight [{:f}] or both were invalid.",
        description, maximum, minimum);
    return;
  }
  if (maximum == 1.0f && minimum == 1.0f) {
    Log::Info(kOp, "height didn't need to be changed because for [{}] because both MaxHeight and MinHeight are 1.00.",
              description);
    return;
  }
  const int step = GetRandomIntInRange(static_cast<int>(std::trunc(minimum * 100.0f)),
                                       static_cast<int>(std::trunc(maximum * 100.0f)));
  const float scale = static_cast<float>(step) / 100.0f;
  Log::Info(kOp, "calculated Scale is [{}] and RandomFloat is [{:f}] for [{}] . Applying height...", step, scale,
            description);
  CallStaticScriptFunction(kHandlerScript, "SetActorScale", actor, scale);
}

void GiveIdentity(RE::Actor* actor) {
  auto* base = static_cast<RE::TESNPC*>(actor->baseObject);
  auto* face = base->faceNPC;
  if (!face) {
    if (Log::Enabled())
      Log::Error(kOp, "FaceNPC is nullptr at 3DSet event of citizen actor [{}] at {}", DescribeForm(actor, false),
                 NameOf(CityOf(actor)));
    return;
  }
  auto* city = CityOf(actor);
  if (!city) return;

  // Built once, and only when it can be written.
  const std::string description = Log::Enabled() ? DescribeForm(actor, false) : std::string();
  const bool female = face->IsFemale();

  ApplyName(actor, female, *city, description);

  if (auto* anim = GetRandomAnimFromDB(female, *city)) {
    if (Log::Enabled())
      Log::Info(kOp, "applying anim keyword {} to citizen actor {}", DescribeForm(anim, false), description);
    CallStaticScriptFunction(kHandlerScript, "SetFacialAnim", actor, anim);
  } else {
    Log::Warn(kOp, "AnimKeyword is nullptr at 3DSet event of citizen actor [{}] at {}", description, city->name());
  }

  if (auto* voice = GetRandomVoiceFromDB(female, *city)) {
    if (Log::Enabled())
      Log::Info(kOp, "applying voice {} to citizen actor {}", DescribeForm(voice, false), description);
    CallStaticScriptFunction(kHandlerScript, "SetOverrideVoice", actor, voice);
  } else {
    Log::Warn(kOp, "Voice is nullptr at 3DSet event of citizen actor [{}] at {}", description, city->name());
  }

  ApplyHeight(actor, female, *city, description);
}

}  // namespace

QuillmereReferenceSet3dClass* QuillmereReferenceSet3dClass::GetSingleton() {
  return RE::ProcessWideSink<QuillmereReferenceSet3dClass>();
}

RE::BSEventNotifyControl QuillmereReferenceSet3dClass::ProcessEvent(QuillmereReferenceSet3dClass*,
                                                                    const RE::Events::ReferenceSet3d* event,
                                                                    RE::BSTEventSource*) noexcept {
  Boundary::Guarded(kOp, [event] {
    auto* reference = event ? event->reference : nullptr;
    if (IsCandidate(reference)) GiveIdentity(static_cast<RE::Actor*>(reference));
  });
  return RE::BSEventNotifyControl::kContinue;
}

}  // namespace Events
