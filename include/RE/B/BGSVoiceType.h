#pragma once
#include "RE/T/TESForm.h"

namespace RE {

struct BGSVoiceType : TESForm {};

}  // namespace RE
