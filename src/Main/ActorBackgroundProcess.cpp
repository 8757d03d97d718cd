#include "Main/ActorBackgroundProcess.h"

// The queue and its distance tiers come later; the game's own call always runs.

char ActorBackgroundProcess::TargetFuncStruct::Process(RE::Actor* actor, std::uint64_t argument) {
  using Target = char (*)(RE::Actor*, std::uint64_t);
  return reinterpret_cast<Target>(savedTarget)(actor, argument);
}
