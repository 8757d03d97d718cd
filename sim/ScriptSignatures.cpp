#include "ScriptSignatures.h"

#include <map>

#include <fmt/format.h>

namespace sim {
namespace {

using Type = RE::BSScript::Variable::Type;

// The script types the functions declare.
enum class Parameter { kActor, kObjectReference, kActorBase, kVoiceType, kKeyword, kForm, kString, kFloat };

const char* NameOf(Parameter parameter) {
  switch (parameter) {
    case Parameter::kActor: return "Actor";
    case Parameter::kObjectReference: return "ObjectReference";
    case Parameter::kActorBase: return "ActorBase";
    case Parameter::kVoiceType: return "VoiceType";
    case Parameter::kKeyword: return "Keyword";
    case Parameter::kForm: return "Form";
    case Parameter::kString: return "String";
    case Parameter::kFloat: return "Float";
  }
  return "?";
}

// Quillmere:Handler's global functions.
const std::map<std::string, std::vector<Parameter>> kHandlerFunctions = {
    {"SetFacialAnim", {Parameter::kActor, Parameter::kKeyword}},
    {"SetOverrideVoice", {Parameter::kActor, Parameter::kVoiceType}},
    {"SetActorScale", {Parameter::kActor, Parameter::kFloat}},
    {"PlaceUniqueNPC",
     {Parameter::kObjectReference, Parameter::kActorBase, Parameter::kVoiceType, Parameter::kKeyword, Parameter::kForm,
      Parameter::kString, Parameter::kFloat}},
    {"DeleteUniqueNPC", {Parameter::kActor}},
};

// An object of the form's type is an instance of the parameter's script type (an actor is an
// object reference too); none fits every object parameter.
bool FormFits(Parameter parameter, const RE::TESForm* form) {
  if (!form) return true;
  switch (parameter) {
    case Parameter::kActor: return form->Is(RE::FormType::kActor);
    case Parameter::kObjectReference: return form->Is(RE::FormType::kReference) || form->Is(RE::FormType::kActor);
    case Parameter::kActorBase: return form->Is(RE::FormType::kNPC);
    case Parameter::kVoiceType: return form->Is(RE::FormType::kVoiceType);
    case Parameter::kKeyword: return form->Is(RE::FormType::kKeyword);
    case Parameter::kForm: return true;
    default: return false;
  }
}

bool Fits(Parameter parameter, const ScriptValue& value) {
  switch (parameter) {
    case Parameter::kString: return value.type == Type::kString;
    case Parameter::kFloat: return value.type == Type::kFloat || value.type == Type::kInt;  // ints widen
    default: return value.type == Type::kNone || (value.type == Type::kObject && FormFits(parameter, value.form));
  }
}

std::string Describe(const ScriptValue& value) {
  switch (value.type) {
    case Type::kNone: return "none";
    case Type::kObject:
      return value.form ? fmt::format("a form of type {}", static_cast<int>(value.form->formType)) : "an empty object";
    case Type::kString: return "a string";
    case Type::kInt: return "an int";
    case Type::kFloat: return "a float";
    case Type::kBool: return "a bool";
  }
  return "a value of unknown type";
}

}  // namespace

std::optional<std::string> RefusalOf(const std::string& script, const std::string& function,
                                     const std::vector<ScriptValue>& arguments) {
  if (script != "Quillmere:Handler") return std::nullopt;
  const auto it = kHandlerFunctions.find(function);
  if (it == kHandlerFunctions.end()) return fmt::format("{} has no global function {}", script, function);
  const auto& parameters = it->second;
  if (arguments.size() != parameters.size())
    return fmt::format("{} takes {} arguments, not {}", function, parameters.size(), arguments.size());
  for (std::size_t i = 0; i < parameters.size(); ++i)
    if (!Fits(parameters[i], arguments[i]))
      return fmt::format("argument {} of {} is {} where the parameter type is {}", i + 1, function,
                         Describe(arguments[i]), NameOf(parameters[i]));
  return std::nullopt;
}

}  // namespace sim
