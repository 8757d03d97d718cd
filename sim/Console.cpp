#include "Console.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "GameHeap.h"
#include "GameRules.h"
#include "GameIDs.h"

namespace sim {
namespace {

// The console log singleton: only its identity matters.
struct ConsoleLogObject {
  void* vtable;
  std::uint8_t pad[0x40];
};
ConsoleLogObject* consoleLogSingleton = nullptr;

struct ConsoleState {
  ConsoleOptions options;
  std::span<ConsoleCommand> table;
  std::uint8_t* compiledPage = nullptr;  // one page, followed by one nobody may touch
  std::vector<std::string> lines;
  std::vector<ConsoleRun> runs;
};
ConsoleState& State() {
  static ConsoleState state;
  return state;
}

constexpr std::size_t kPage = 4096;

// size bytes whose end touches a page that no code may read or write: reading past them crashes.
std::uint8_t* BlockBeforeGuardPage(std::size_t size) {
  const std::size_t pages = (size + kPage - 1) / kPage;
  auto* base =
      static_cast<std::uint8_t*>(VirtualAlloc(nullptr, (pages + 1) * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  if (!base) throw std::runtime_error("the console's memory could not be reserved");
  DWORD previous = 0;
  VirtualProtect(base + pages * kPage, kPage, PAGE_NOACCESS, &previous);
  return base + pages * kPage - size;
}

// The game's own commands: they do their work and report success.
bool RunGameCommand(const ConsoleParameter*, const CompiledLineHeader*, void*, void*, void*, void*, double* result,
                    std::uint32_t*) {
  *result = 1.0;
  return true;
}
bool CompileGameCommand() { return true; }
bool EvaluateCondition() { return false; }

const ConsoleParameter kNameParameter[] = {{"Name", 0, 1}};
const ConsoleParameter kValueParameters[] = {{"Setting", 0, 0}, {"Value", 1, 0}};

struct Definition {
  const char* name;
  const char* shortName;
  std::uint32_t opcode;
  const char* help;
  bool needsReference;
  std::span<const ConsoleParameter> parameters;
  bool condition;  // usable in conditions: script functions
};

// A few of the game's console commands, "SetMemCheckPoint" among them, then the first script functions.
const Definition kDefinitions[] = {
    {"ShowAnim", "sta", 0x100, "Show anim information", true, {}, false},
    {"ToggleCollision", "tcl", 0x101, "Toggle collision", false, {}, false},
    {"ToggleGodMode", "tgm", 0x10A, "Toggle god mode", false, {}, false},
    {"SetGameSetting", "setgs", 0x1A0, "Set a game setting", false, kValueParameters, false},
    {"SetMemCheckPoint", "smcp", 0x2A7, "Remember the memory state at this point", false, kNameParameter, false},
    {"ShowMemCheckPoints", "", 0x2A8, "Show the remembered memory states", false, {}, false},
    {"ToggleAI", "tai", 0x2F0, "Toggle AI", false, {}, false},
    {"QuitGame", "qqq", 0x344, "Quit the game", false, {}, false},
    {"GetDistance", "", 0x1000, "", true, {}, true},
    {"GetPos", "", 0x1001, "", true, {}, true},
    {"GetStartingPos", "", 0x1002, "", true, {}, true},
};

bool SameIgnoringCase(const char* a, const std::string& b) { return a && _stricmp(a, b.c_str()) == 0; }

void ConsolePrint(ConsoleLogObject* log, const char* format, ...) {
  if (log != consoleLogSingleton || !log)
    StopOnBrokenRule("the console's print called on something else than the console log");
  if (!format) StopOnBrokenRule("the console's print called without a format");
  char text[4096];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof(text), format, arguments);
  va_end(arguments);
  State().lines.emplace_back(text);
}

}  // namespace

void ConfigureConsole(const ConsoleOptions& options) { State().options = options; }

void CreateConsole() {
  auto& state = State();
  consoleLogSingleton = GameNew<ConsoleLogObject>();
  std::vector<const Definition*> definitions;
  for (const auto& definition : kDefinitions)
    if (!(state.options.withoutSetMemCheckPoint && std::strcmp(definition.name, "SetMemCheckPoint") == 0))
      definitions.push_back(&definition);
  const auto size = definitions.size() * sizeof(ConsoleCommand);
  auto* table = reinterpret_cast<ConsoleCommand*>(BlockBeforeGuardPage(size));
  for (std::size_t i = 0; i < definitions.size(); ++i) {
    const auto& d = *definitions[i];
    table[i] = ConsoleCommand{};
    table[i].name = d.name;
    table[i].shortName = d.shortName;
    table[i].opcode = d.opcode;
    table[i].help = d.help;
    table[i].needsReference = d.needsReference;
    table[i].parameterCount = static_cast<std::uint16_t>(d.parameters.size());
    table[i].parameters = d.parameters.empty() ? nullptr : d.parameters.data();
    table[i].execute = &RunGameCommand;
    table[i].compile = reinterpret_cast<void*>(&CompileGameCommand);
    table[i].condition = d.condition ? reinterpret_cast<void*>(&EvaluateCondition) : nullptr;
    table[i].editorFilter = 1;
  }
  state.table = {table, definitions.size()};
  state.compiledPage = BlockBeforeGuardPage(kPage);
}

std::span<ConsoleCommand> ConsoleCommandTable() { return State().table; }

ConsoleCommand* FindConsoleCommand(const std::string& name) {
  for (auto& command : State().table)
    if (SameIgnoringCase(command.name, name) || SameIgnoringCase(command.shortName, name)) return &command;
  return nullptr;
}

ConsoleRun RunConsoleLine(const std::string& line) {
  auto& state = State();
  const auto wordStart = line.find_first_not_of(" \t");
  const auto wordEnd = line.find_first_of(" \t", wordStart);
  const auto word = wordStart == std::string::npos ? std::string() : line.substr(wordStart, wordEnd - wordStart);
  const auto restStart = wordEnd == std::string::npos ? std::string::npos : line.find_first_not_of(" \t", wordEnd);
  const auto rest = restStart == std::string::npos ? std::string() : line.substr(restStart);
  if (rest.size() > kMaxRawParameterText)
    throw std::length_error("the console takes at most " + std::to_string(kMaxRawParameterText) +
                            " bytes after the command, not " + std::to_string(rest.size()));

  ConsoleRun run{line, std::nullopt, std::nullopt};
  auto* command = word.empty() ? nullptr : FindConsoleCommand(word);
  if (!command) {
    std::fprintf(stderr, "brindlewick-sim: console: script command \"%s\" not found\n", word.c_str());
    state.runs.push_back(run);
    return run;
  }
  run.command = command->name;

  // The compiled line ends where the readable memory does: nothing after the text is the game's.
  const auto size = sizeof(CompiledLineHeader) + rest.size();
  auto* compiled = reinterpret_cast<CompiledLineHeader*>(state.compiledPage + kPage - size);
  compiled->opcode = static_cast<std::uint16_t>(command->opcode);
  compiled->dataLength = static_cast<std::uint16_t>(size - 4);
  compiled->wordCount = 0;
  for (std::size_t i = 0; i < rest.size(); ++i)
    if (rest[i] != ' ' && rest[i] != '\t' && (i == 0 || rest[i - 1] == ' ' || rest[i - 1] == '\t'))
      ++compiled->wordCount;
  compiled->rawTextLength = static_cast<std::uint8_t>(rest.size());
  compiled->pad07 = 0;
  std::memcpy(reinterpret_cast<std::uint8_t*>(compiled) + sizeof(CompiledLineHeader), rest.data(), rest.size());

  static std::uint8_t script[0x40], scriptLocals[0x40];  // the console's own script: only passed along
  double result = 0.0;
  std::uint32_t opcodeOffset = 0;
  run.returned =
      command->execute(command->parameters, compiled, nullptr, nullptr, script, scriptLocals, &result, &opcodeOffset);
  state.runs.push_back(run);
  return run;
}

const std::vector<std::string>& ConsoleLines() { return State().lines; }
const std::vector<ConsoleRun>& ConsoleRuns() { return State().runs; }
void ClearConsoleRecord() {
  State().lines.clear();
  State().runs.clear();
}

std::vector<ModelledAddress> ConsoleAddresses() {
  return {
      {game_id::ConsoleCommandTable, reinterpret_cast<std::uintptr_t>(State().table.data())},
      {game_id::ConsoleLog, reinterpret_cast<std::uintptr_t>(&consoleLogSingleton)},
      {game_id::ConsolePrint, reinterpret_cast<std::uintptr_t>(&ConsolePrint)},
  };
}

}  // namespace sim
