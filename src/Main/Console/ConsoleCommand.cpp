#include "Main/Console/ConsoleCommand.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <utility>

#include "Helpers/Boundary.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Main/Cities/ActiveCity.h"
#include "Main/Console/ConsoleFunctions.h"
#include "Parse/ConsoleData.h"
#include "RE/IDs.h"
#include "REL/ID.h"

namespace {

constexpr const char* kOp = "QuillmereCodeCommand";
constexpr const char* kCommandName = "QuillmereCode";
constexpr const char* kTakenOverCommand = "SetMemCheckPoint";

// The parameters the console shows for the command; the game keeps pointing at them.
const RE::SCRIPT_PARAMETER kParameters[3] = {
    {"FuncIndex", 0, true},
    {"FuncParam1", 0, true},
    {"FuncParam2", 0, true},
};

bool RunCommand(const RE::Script::ScriptData* data) {
  Log::Info(kOp, "function called.");
  if (!data) {
    Log::Error(kOp, "text is nullptr, parameters cannot be read");
    return false;
  }
  // Only the length the game gave is read: the text is not terminated.
  const std::span<const std::uint8_t> compiled(reinterpret_cast<const std::uint8_t*>(data),
                                               RE::Script::ScriptData::kRawTextOffset + data->rawTextLength);
  auto parameters = Parse::ReadConsoleParameters(Parse::RawParameterText(compiled));
  using Status = Parse::ConsoleParameters::Status;
  if (parameters.status == Status::EmptyText) {
    Log::Error(kOp, "std::string sParamRAW is empty");
    return false;
  }
  Log::Info(kOp, "raw parameters [{}]", parameters.raw);

  ConsoleCall call;
  call.Parameters = std::move(parameters.words);
  switch (parameters.status) {
    case Status::TooFewWords: Log::Error(kOp, "std::vector Parameters.size < 2"); return false;
    case Status::BadFuncIndex:
      Log::Error(kOp, "std::stoi exception for input String: {}", call.Parameters[0]);
      return false;
    case Status::BadFuncParam1:
      Log::Error(kOp, "std::stoul exception for input String: {}", call.Parameters[1]);
      return false;
    case Status::EmptyText:
    case Status::Ok: break;
  }
  call.FuncIndex = parameters.funcIndex;
  call.FuncParam1 = parameters.funcParam1;
  call.activeCity = ActiveCity();
  return RunConsoleFunction(call);
}

}  // namespace

RE::Script::SCRIPT_FUNCTION* GetFirstConsoleCommand() {
  static auto* const first =
      reinterpret_cast<RE::Script::SCRIPT_FUNCTION*>(REL::ResolveAddressLibraryID(RE::ID::ConsoleCommandTable));
  if (!first) Log::Error("GetFirstConsoleCommand", "found command is nullptr");
  return first;
}

bool Install_Command_Quillmere() {
  constexpr const char* kInstallOp = "Install_Command_Quillmere";
  auto* first = GetFirstConsoleCommand();
  if (!first) {
    Log::Error(kInstallOp, "firstCommand is nullptr");
    return false;
  }
  // The console's commands end where the opcodes reach the end of their range; what follows is not
  // a console command.
  for (auto* command = first; command->opcode < RE::Script::SCRIPT_FUNCTION::kConsoleOpcodeEnd; ++command) {
    if (!command->functionName || std::strcmp(command->functionName, kTakenOverCommand) != 0) continue;
    command->functionName = kCommandName;
    command->shortName = "";
    command->helpString = "";
    command->referenceFunction = false;
    command->numParams = static_cast<std::uint16_t>(std::size(kParameters));
    command->params = kParameters;
    command->executeFunction = &QuillmereCodeCommand;
    Log::Info(kInstallOp, "QuillmereCode command registered.");
    return true;
  }
  Log::Error(kInstallOp, "QuillmereCode command couldn't be registered.");
  return false;
}

bool QuillmereCodeCommand(const RE::SCRIPT_PARAMETER*, const RE::Script::ScriptData* data, RE::TESObjectREFR*,
                          RE::TESObjectREFR*, void*, void*, double*, std::uint32_t*) noexcept {
  bool result = false;
  Boundary::Guarded(kOp, [&] { result = RunCommand(data); });
  return result;
}
