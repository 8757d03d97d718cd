#pragma once
// The game's crowd settings as the plug-in's settings ask for them: cloth simulation for crowd
// actors, and the crowd inhibition thresholds lowered to a target, the game's own values kept to be
// put back when the option is switched off.

// The game's own ("vanilla") thresholds, held from the first lowering until they are put back;
// -1.0 when nothing is held. In memory only.
struct GameSettingAdjustmentStateRecord {
  static constexpr float kNothingStored = -1.0f;

  float StoredVanillaThresholdMaxActor = kNothingStored;
  float StoredVanillaDistMax = kNothingStored;

  void Reset() { *this = GameSettingAdjustmentStateRecord{}; }
};

extern GameSettingAdjustmentStateRecord GameSettingAdjustmentState;

// Adjusts the three settings to the plug-in's settings; a missing one is logged and skipped. The
// flags have no effect; always true.
bool ApplyOptimizations(bool, bool);
