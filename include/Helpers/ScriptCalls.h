#pragma once
// Calls of global functions of the plug-in's game script through the game's script machine. The
// call is queued and runs later; the arguments are packed only when the machine asks for them.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "RE/B/BSScript.h"
#include "RE/T/TESForm.h"

inline constexpr const char* kHandlerScript = "Quillmere:Handler";

namespace ScriptCalls {

// One argument, kept by the packer until the machine asks for it. A form is kept with its ID: the
// game may delete it before the call runs, and is then asked for the ID, never handed the pointer.
struct Argument {
  enum class Kind { kForm, kFloat, kText } kind;
  RE::TESForm* form = nullptr;
  std::uint32_t formID = 0;
  float number = 0.0f;
  std::string text;
};

template <class T>
Argument Pack(T* form) requires std::is_base_of_v<RE::TESForm, T> {
  return {Argument::Kind::kForm, form, form ? form->formID : 0u, 0.0f, {}};
}
inline Argument Pack(float number) { return {Argument::Kind::kFloat, nullptr, 0, number, {}}; }
inline Argument Pack(std::string text) { return {Argument::Kind::kText, nullptr, 0, 0.0f, std::move(text)}; }

// vm null: the machine the game holds now. False, and nothing queued, without a machine or a name,
// or when the machine refuses the call (logged). whenDone runs once the call is over: it has run (or
// the machine dropped it), or it was never queued.
bool Dispatch(std::string_view scriptName, std::string_view functionName, std::vector<Argument> arguments,
              RE::BSScript::IVirtualMachine* vm, std::function<void()> whenDone = nullptr);

// The game's script machine, or null while scripts do not run yet.
RE::BSScript::IVirtualMachine* CurrentVirtualMachine();

}  // namespace ScriptCalls

template <class... Args>
bool CallStaticScriptFunction(std::string_view scriptName, std::string_view functionName, Args... args) {
  return ScriptCalls::Dispatch(scriptName, functionName, {ScriptCalls::Pack(args)...}, nullptr);
}
