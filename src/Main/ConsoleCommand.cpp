#include "Main/ConsoleCommand.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

#include "Helpers/Boundary.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Main/ActiveCity.h"
#include "Main/ConsoleFunctions.h"
#include "RE/IDs.h"
#include "REL/ID.h"

namespace {

constexpr const char* kOp = "QuillmereCodeCommand";
constexpr const char* kCommandName = "QuillmereCode";
constexpr const char* kTakenOverCommand = "SetMemCheckPoint";

// Raw parameter text beyond this is cut off: the command never needs more.
constexpr std::size_t kMaxRawParameterText = 150;

// The parameters the console shows for the command; the game keeps pointing at them.
const RE::SCRIPT_PARAMETER kParameters[3] = {
    {"FuncIndex", 0, true},
    {"FuncParam1", 0, true},
    {"FuncParam2", 0, true},
};

// Signed decimal, leading blanks and a sign allowed, trailing characters ignored.
std::optional<int> ParseFuncIndex(const std::string& word) {
  try {
    return std::stoi(word);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// Hexadecimal, "0x" allowed, trailing characters ignored; more than 32 bits is out of range.
static_assert(sizeof(unsigned long) == sizeof(std::uint32_t), "std::stoul checks the 32-bit range");
std::optional<std::uint32_t> ParseFuncParam1(const std::string& word) {
  try {
    return static_cast<std::uint32_t>(std::stoul(word, nullptr, 16));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// The words of the raw text joined by single blanks.
std::string JoinWords(const std::vector<std::string>& words) {
  std::string joined;
  for (const auto& word : words) {
    if (!joined.empty()) joined += ' ';
    joined += word;
  }
  return joined;
}

bool RunCommand(const RE::Script::ScriptData* data) {
  Log::Info(kOp, "function called.");
  if (!data) {
    Log::Error(kOp, "text is nullptr, parameters cannot be read");
    return false;
  }
  // Only the length the game gave is read: the text is not terminated.
  const std::size_t length = std::min<std::size_t>(data->rawTextLength, kMaxRawParameterText);
  const std::string sParamRAW = JoinWords(GetWordsInStringAsVector(std::string(data->RawText(), length)));
  if (sParamRAW.empty()) {
    Log::Error(kOp, "std::string sParamRAW is empty");
    return false;
  }
  Log::Info(kOp, "raw parameters [{}]", sParamRAW);

  ConsoleCall call;
  call.Parameters = GetWordsInStringAsVector(sParamRAW);
  if (call.Parameters.size() < 2) {
    Log::Error(kOp, "std::vector Parameters.size < 2");
    return false;
  }
  const auto index = ParseFuncIndex(call.Parameters[0]);
  if (!index) {
    Log::Error(kOp, "std::stoi exception for input String: {}", call.Parameters[0]);
    return false;
  }
  const auto param1 = ParseFuncParam1(call.Parameters[1]);
  if (!param1) {
    Log::Error(kOp, "std::stoul exception for input String: {}", call.Parameters[1]);
    return false;
  }
  call.FuncIndex = *index;
  call.FuncParam1 = *param1;
  call.activeCity = GetActiveLocationIndex();
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
