#include "Helpers/ScriptCalls.h"

#include <exception>
#include <functional>
#include <memory>
#include <new>

#include <spdlog/spdlog.h>

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
  std::function<void()> whenDone;
};

void* DestroyPacker(ArgumentPacker* self, std::uint32_t flags) noexcept {
  if (self->whenDone) {
    try {
      self->whenDone();
    } catch (...) {
      spdlog::critical("[CallStaticScriptFunction] the call's last step failed");
    }
  }
  self->~ArgumentPacker();
  if (flags & 1) ::operator delete(self);
  return self;
}

// Owns a packer until the machine takes it: the machine owns what it accepted and releases it
// through slot 0 when the call has run; a refused packer stays ours.
struct PackerRelease {
  void operator()(ArgumentPacker* packer) const noexcept { DestroyPacker(packer, 1); }
};
using OwnedPacker = std::unique_ptr<ArgumentPacker, PackerRelease>;

// A game string made for the call and released once, when the call has been handed over.
class CallString {
 public:
  explicit CallString(std::string_view text) { RE::CreateFixedString(string_, std::string(text).c_str()); }
  ~CallString() { RE::ReleaseFixedString(string_); }
  CallString(const CallString&) = delete;
  CallString& operator=(const CallString&) = delete;
  const RE::BSFixedString& get() const noexcept { return string_; }

 private:
  RE::BSFixedString string_{};
};

void PackForm(ArgumentPacker& packer, const Argument& argument, Variable& variable) {
  variable.type = Variable::Type::kNone;
  RE::TESForm* form = argument.form;
  if (!form) return;
  // A form the game deleted since the call was queued is passed as none: its memory may be gone.
  if (RE::LookupFormByID(argument.formID) != form) {
    Log::Warn("CallStaticScriptFunction", "form {:x} is gone since the call was queued, passed as none",
              argument.formID);
    return;
  }
  RE::BSScript::Object* object = nullptr;
  if (!packer.vm->BindForm(form, object) || !object) {
    Log::Error("CallStaticScriptFunction", "failed to pack variable");
    return;
  }
  variable.type = Variable::Type::kObject;
  variable.value.object = object;
}

// Fills the machine's array with the arguments in their order. The array is the machine's: it
// counts each variable as soon as it is filled, so that the machine releases what was packed
// even when packing stops half-way.
bool PackArguments(ArgumentPacker* self, RE::BSScript::ScrapArrayOfVariables* array) noexcept {
  try {
    const auto count = static_cast<std::uint32_t>(self->arguments.size());
    array->data = nullptr;
    array->capacity = array->size = 0;
    if (!count) return true;
    auto* variables = static_cast<Variable*>(RE::BSScript::ScrapAllocate(count * sizeof(Variable), alignof(Variable)));
    if (!variables) return false;
    array->data = variables;
    array->capacity = count;
    for (std::uint32_t i = 0; i < count; ++i) {
      auto& variable = variables[i];
      variable = {};
      const auto& argument = self->arguments[i];
      switch (argument.kind) {
        case Argument::Kind::kForm: PackForm(*self, argument, variable); break;
        case Argument::Kind::kFloat:
          variable.type = Variable::Type::kFloat;
          variable.value.number = argument.number;
          break;
        case Argument::Kind::kText:
          variable.type = Variable::Type::kString;
          RE::CreateFixedString(variable.value.string, argument.text.c_str());
          break;
      }
      array->size = i + 1;
    }
    return true;
  } catch (const std::exception& error) {
    spdlog::critical("[CallStaticScriptFunction] packing the arguments failed: {}", error.what());
  } catch (...) {
    spdlog::critical("[CallStaticScriptFunction] packing the arguments failed: unknown exception");
  }
  return false;
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
              RE::BSScript::IVirtualMachine* vm, std::function<void()> whenDone) {
  if (scriptName.empty() || functionName.empty() || !(vm = vm ? vm : CurrentVirtualMachine())) {
    if (whenDone) whenDone();
    return false;
  }

  // The machine keeps its own copies of the names: ours are released once the call is handed over.
  const CallString script(scriptName), function(functionName);
  OwnedPacker packer(new ArgumentPacker{kPackerTable, std::move(arguments), vm, std::move(whenDone)});
  if (!RE::BSScript::DispatchStaticCall(vm, script.get(), function.get(),
                                        reinterpret_cast<RE::BSScript::IFunctionArguments*>(packer.get()))) {
    Log::Error("CallStaticScriptFunction", "the script machine refused the call of {}.{}", scriptName, functionName);
    return false;
  }
  packer.release();  // the machine's now
  return true;
}

}  // namespace ScriptCalls
