#pragma once
// Who owns the argument object a caller hands to the script machine's DispatchStaticCall, as the
// game rules it:
//   - dispatch accepted: the machine owns the object from then on; it asks it for the arguments
//     when the call runs and then releases it through its slot 0 (the destructor, flags 1: delete);
//   - dispatch refused: the machine never took it; the caller still owns it and must release it.
// The sim counts the objects alive under this rule, so that a leak shows in the report, and stops
// the game when the caller releases an object the machine owns (it would be released twice).
#include <windows.h>

#include <cstddef>

#include "RE/B/BSScript.h"

namespace sim {

// Sees module's releases through the C runtime (its free), so that an argument object's release
// is noticed whoever makes it. The host watches each plug-in it loads.
void WatchArgumentObjectReleases(HMODULE module);

void ArgumentObjectTaken(const RE::BSScript::IFunctionArguments* object);       // dispatch accepted
void ArgumentObjectHandedBack(const RE::BSScript::IFunctionArguments* object);  // dispatch refused
// The machine is done with an object it owns: releases it through its slot 0.
void ReleaseArgumentObject(RE::BSScript::IFunctionArguments* object);

// Objects taken and not yet released by the machine, plus objects handed back and not yet seen
// released by their caller.
std::size_t LiveArgumentObjects();

}  // namespace sim
