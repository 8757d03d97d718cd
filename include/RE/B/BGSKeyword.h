#pragma once
#include "RE/T/TESForm.h"

namespace RE {

struct BGSKeyword : TESForm {};

}  // namespace RE
