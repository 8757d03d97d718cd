#include "ScriptMachine.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>
#include <optional>
#include <set>
#include <utility>

#include <fmt/format.h>

#include "ArgumentObjects.h"
#include "FixedStrings.h"
#include "GameForms.h"
#include "GameHeap.h"
#include "GameRules.h"
#include "ScriptSignatures.h"
#include "RE/G/GameVM.h"
#include "GameIDs.h"
#include "UniqueNPCScript.h"

namespace RE::BSScript {
// A form bound as a script object.
struct Object {
  TESForm* form;
  int references;
  std::uint32_t formID;  // the machine holds the form by its ID, as the game's handles do
};
}  // namespace RE::BSScript

namespace sim {
namespace {

using RE::BSScript::Variable;

struct QueuedCall {
  std::string script;
  std::string function;
  RE::BSScript::IFunctionArguments* arguments;
};

struct Machine {
  std::deque<QueuedCall> queue;
  std::vector<ScriptCallRecord> calls;
  std::vector<ScriptCallRecord> refused;
  ScriptMachineOptions options;
  std::map<const RE::Actor*, ScriptedLook> looks;
  std::set<const RE::TESForm*> unbindable;
  int liveObjects = 0;
  bool leaked = false;
};
Machine& GetMachine() {
  static Machine machine;
  return machine;
}

RE::GameVM* gameVMHolder = nullptr;
std::uint8_t scrapHeap[16];  // the thread's scrap heap: only its identity matters

// Ownership as the game rules it (ArgumentObjects.h): an accepted call's argument object is the
// machine's until the call has run; a refused one stays its caller's. The machine keeps its own
// copies of the names either way: the caller releases its strings itself.
bool DispatchStaticCall(RE::BSScript::IVirtualMachine*, const RE::BSFixedString* script,
                        const RE::BSFixedString* function, RE::BSScript::IFunctionArguments* arguments, void** callback,
                        std::int32_t) {
  auto& machine = GetMachine();
  (void)callback;
  if (machine.options.refuseDispatch) {
    if (arguments) ArgumentObjectHandedBack(arguments);
    machine.refused.push_back(
        {std::string(script->view()), std::string(function->view()), {}, "the machine refused the dispatch"});
    return false;
  }
  ArgumentObjectTaken(arguments);
  machine.queue.push_back({std::string(script->view()), std::string(function->view()), arguments});
  return true;
}

struct MachineObject {
  const void* const* vtable;
};
std::array<void*, 64> machineTable{};
MachineObject machineObject{nullptr};

bool BindForm(RE::BSScript::IVirtualMachine*, RE::TESForm* form, RE::BSScript::Object** out) {
  if (!form || GetMachine().options.refuseBinding || GetMachine().unbindable.contains(form)) return false;
  *out = GameNew<RE::BSScript::Object>(RE::BSScript::Object{form, 1, form->formID});
  ++GetMachine().liveObjects;
  return true;
}
void ReleaseObject(RE::BSScript::Object* object) {
  if (!object) return;
  if (object->references <= 0)
    StopOnBrokenRule(fmt::format("the script object of form {:08X} was released twice", object->formID));
  if (--object->references == 0) --GetMachine().liveObjects;
}

void* GetScrapHeap() { return scrapHeap; }
void* ScrapAllocate(void* heap, std::size_t size, std::uint32_t alignment) {
  return heap == scrapHeap ? GameAllocate(size, std::max<std::uint32_t>(alignment, 16)) : nullptr;
}

// The form a script object stands for when the call runs: none once the game has deleted or freed
// it since it was bound (its ID then finds nothing, or another form).
RE::TESForm* Resolve(const RE::BSScript::Object* object) {
  return FindForm(object->formID) == object->form ? object->form : nullptr;
}

std::string Describe(const Variable& variable) {
  switch (variable.type) {
    case Variable::Type::kObject:
      return Resolve(variable.value.object) ? fmt::format("form:{:08X}", variable.value.object->formID) : "none";
    case Variable::Type::kFloat: return fmt::format("float:{}", variable.value.number);
    case Variable::Type::kString: return fmt::format("string:{}", variable.value.string.view());
    default: return "none";
  }
}

RE::TESForm* FormOf(const Variable& variable) {
  return variable.type == Variable::Type::kObject ? Resolve(variable.value.object) : nullptr;
}

ScriptArgument ArgumentOf(const Variable& variable) {
  ScriptArgument argument;
  switch (variable.type) {
    case Variable::Type::kNone: break;
    case Variable::Type::kObject:
      argument.form = Resolve(variable.value.object);
      argument.kind = argument.form ? ScriptArgument::Kind::kForm : ScriptArgument::Kind::kNone;
      break;
    case Variable::Type::kString:
      argument.kind = ScriptArgument::Kind::kString;
      argument.text = variable.value.string.view();
      break;
    case Variable::Type::kFloat:
      argument.kind = ScriptArgument::Kind::kFloat;
      argument.number = variable.value.number;
      break;
    default: argument.kind = ScriptArgument::Kind::kOther;
  }
  return argument;
}

// Quillmere:Handler's global functions, as the game data defines them.
void RunHandler(const std::string& function, const std::vector<Variable>& arguments) {
  std::vector<ScriptArgument> converted;
  for (const auto& variable : arguments) converted.push_back(ArgumentOf(variable));
  if (RunUniqueNPCFunction(function, converted)) return;
  if (arguments.empty()) return;
  auto* target = FormOf(arguments[0]);
  if (!target || !target->Is(RE::FormType::kActor)) return;
  auto& look = ChangeLookOf(static_cast<RE::Actor*>(target));
  if (function == "SetFacialAnim" && arguments.size() == 2) look.facialAnim = FormOf(arguments[1]);
  if (function == "SetOverrideVoice" && arguments.size() == 2) look.voice = FormOf(arguments[1]);
  if (function == "SetActorScale" && arguments.size() == 2 && arguments[1].type == Variable::Type::kFloat) {
    look.scale = arguments[1].value.number;
    look.scaled = true;
  }
}

using PackFn = bool (*)(RE::BSScript::IFunctionArguments*, RE::BSScript::ScrapArrayOfVariables*);

}  // namespace

void ConfigureScriptMachine(const ScriptMachineOptions& options) { GetMachine().options = options; }

void CreateScriptMachine() {
  machineTable.fill(nullptr);
  machineTable[RE::BSScript::IVirtualMachine::kDispatchStaticCallSlot] = reinterpret_cast<void*>(&DispatchStaticCall);
  machineObject.vtable = const_cast<const void* const*>(machineTable.data());
  gameVMHolder = GameNew<RE::GameVM>();
  gameVMHolder->impl = reinterpret_cast<RE::BSScript::IVirtualMachine*>(&machineObject);
}

std::size_t RunQueuedScriptCalls() {
  auto& machine = GetMachine();
  std::size_t ran = 0;
  while (!machine.queue.empty()) {
    auto call = machine.queue.front();
    machine.queue.pop_front();
    RE::BSScript::ScrapArrayOfVariables array{};
    const bool packed = reinterpret_cast<PackFn>(call.arguments->vtable[1])(call.arguments, &array);
    // What the packer put into the array is the machine's, packed in full or not.
    std::vector<Variable> arguments(array.data, array.data + (array.data ? std::min(array.size, array.capacity) : 0));
    ScriptCallRecord record{call.script, call.function, {}, {}};
    std::vector<ScriptValue> values;
    for (const auto& variable : arguments) {
      record.arguments.push_back(Describe(variable));
      values.push_back({variable.type, FormOf(variable)});
    }
    const auto refusal = packed ? RefusalOf(call.script, call.function, values)
                                : std::optional<std::string>("the arguments could not be packed");
    if (refusal) {
      record.refusal = *refusal;
      machine.refused.push_back(record);
    } else {
      machine.calls.push_back(record);
      if (call.script == "Quillmere:Handler") RunHandler(call.function, arguments);
    }
    for (auto& variable : arguments) {
      if (variable.type == Variable::Type::kObject && machine.options.leakOneObject && !machine.leaked)
        machine.leaked = true;
      else if (variable.type == Variable::Type::kObject)
        ReleaseObject(variable.value.object);
      if (variable.type == Variable::Type::kString) ReleaseFixedString(&variable.value.string);
    }
    ReleaseArgumentObject(call.arguments);
    ++ran;
  }
  return ran;
}

std::size_t QueuedScriptCalls() { return GetMachine().queue.size(); }
const std::vector<ScriptCallRecord>& ScriptCallsRun() { return GetMachine().calls; }
const std::vector<ScriptCallRecord>& ScriptCallsRefused() { return GetMachine().refused; }
int LiveScriptObjects() { return GetMachine().liveObjects; }

const ScriptedLook* LookOf(const RE::Actor* actor) {
  const auto it = GetMachine().looks.find(actor);
  return it == GetMachine().looks.end() ? nullptr : &it->second;
}

ScriptedLook& ChangeLookOf(const RE::Actor* actor) { return GetMachine().looks[actor]; }

float ActorScale(const RE::Actor* actor) {
  const auto* look = LookOf(actor);
  return look && look->scaled ? look->scale : 1.0f;
}

void RefuseBinding(const RE::TESForm* form) { GetMachine().unbindable.insert(form); }

std::vector<ModelledAddress> ScriptMachineAddresses() {
  auto address = [](auto* p) { return reinterpret_cast<std::uintptr_t>(p); };
  return {
      {game_id::GameVM, address(&gameVMHolder)},
      {game_id::FixedStringCreate, address(&CreateFixedString)},
      {game_id::FixedStringRelease, address(&ReleaseFixedString)},
      {game_id::ScriptObjectBind, address(&BindForm)},
      {game_id::ScriptObjectRelease, address(&ReleaseObject)},
      {game_id::ScrapHeapGet, address(&GetScrapHeap)},
      {game_id::ScrapHeapAllocate, address(&ScrapAllocate)},
  };
}

}  // namespace sim
