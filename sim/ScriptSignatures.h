#pragma once
// The parameters of the game script Quillmere:Handler's global functions, as the plug-in's game
// data declares them, and the check the game's script engine makes before it runs a call: a
// call whose arguments do not fit is refused and the function does not run.
#include <optional>
#include <string>
#include <vector>

#include "RE/B/BSScript.h"
#include "RE/T/TESForm.h"

namespace sim {

// One argument as the engine sees it: its variable type and, for an object, the bound form.
struct ScriptValue {
  RE::BSScript::Variable::Type type;
  const RE::TESForm* form;  // null for none and for values that are no object
};

// Why the engine refuses the call, or nothing when it runs. Scripts the sim does not know are not
// checked (test scripts take whatever they are given).
std::optional<std::string> RefusalOf(const std::string& script, const std::string& function,
                                     const std::vector<ScriptValue>& arguments);

}  // namespace sim
