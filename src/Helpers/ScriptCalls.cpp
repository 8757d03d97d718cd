#include "Helpers/ScriptCalls.h"

#include <new>

#include "Helpers/Log.h"
#include "RE/G/GameVM.h"

namespace ScriptCalls {
namespace {

using RE::BSScript::Variable;

// The packer as the machine sees it: an object whose first member is its table.
struct ArgumentPacker {
  const void* const* vtable;
  std::vector<Argument> arguments;
  RE::BSScript::IVirtualMachine* vm;
};

void* DestroyPacker(ArgumentPacker* self, std::uint32_t flags) noexcept {
  self->~ArgumentPacker();
  if (flags & 1) ::operator delete(self);
  return self;
}

void PackForm(ArgumentPacker& packer, RE::TESForm* form, Variable& variable) {
  variable.type = Variable::Type::kNone;
  if (!form) return;
  RE::BSScript::Object* object = nullptr;
  if (!packer.vm->BindForm(form, object) || !object) {
    Log::Error("CallStaticScriptFunction", "failed to pack variable");
    return;
  }
  variable.type = Variable::Type::kObject;
  variable.value.object = object;
}

// Fills the machine's array with the arguments in their order; the machine owns what it gets.
bool PackArguments(ArgumentPacker* self, RE::BSScript::ScrapArrayOfVariables* array) noexcept {
  try {
    const auto count = static_cast<std::uint32_t>(self->arguments.size());
    auto* variables = count ? static_cast<Variable*>(RE::BSScript::ScrapAllocate(count * sizeof(Variable), alignof(Variable)))
                            : nullptr;
    if (count && !variables) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
      auto& variable = variables[i];
      variable = {};
      const auto& argument = self->arguments[i];
      switch (argument.kind) {
        case Argument::Kind::kForm: PackForm(*self, argument.form, variable); break;
        case Argument::Kind::kFloat:
          variable.type = Variable::Type::kFloat;
          variable.value.number = argument.number;
          break;
        case Argument::Kind::kText:
          variable.type = Variable::Type::kString;
          RE::CreateFixedString(variable.value.string, argument.text.c_str());
          break;
      }
    }
    array->data = variables;
    array->capacity = array->size = count;
    return true;
  } catch (...) {
    return false;
  }
}

// Slot 0 the destructor, slot 1 the packing, as MSVC lays out the game's interface.
const void* const kPackerTable[] = {reinterpret_cast<const void*>(&DestroyPacker),
                                    reinterpret_cast<const void*>(&PackArguments)};

}  // namespace

RE::BSScript::IVirtualMachine* CurrentVirtualMachine() {
  auto* holder = RE::GameVM::GetSingleton();
  return holder ? holder->impl : nullptr;
}

bool Dispatch(std::string_view scriptName, std::string_view functionName, std::vector<Argument> arguments,
              RE::BSScript::IVirtualMachine* vm) {
  if (scriptName.empty() || functionName.empty()) return false;
  if (!vm) vm = CurrentVirtualMachine();
  if (!vm) return false;

  RE::BSFixedString script{}, function{};
  RE::CreateFixedString(script, std::string(scriptName).c_str());
  RE::CreateFixedString(function, std::string(functionName).c_str());
  auto* packer = new ArgumentPacker{kPackerTable, std::move(arguments), vm};
  RE::BSScript::DispatchStaticCall(vm, script, function, reinterpret_cast<RE::BSScript::IFunctionArguments*>(packer));
  RE::ReleaseFixedString(script);
  RE::ReleaseFixedString(function);
  return true;
}

}  // namespace ScriptCalls
