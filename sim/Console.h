#pragma once
// The game's console: its command table (ID 841465, a contiguous array of command entries), its
// output (the console log singleton, ID 879277, and its print, ID 166358), and a line typed into it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "GameWorld.h"

namespace sim {

// The game's parameter record of a command.
struct ConsoleParameter {
  const char* name;
  std::uint32_t type;
  std::uint8_t optional;
};
static_assert(offsetof(ConsoleParameter, type) == 0x08);
static_assert(offsetof(ConsoleParameter, optional) == 0x0C);
static_assert(sizeof(ConsoleParameter) == 0x10);

// What the console compiled from a line: the raw parameter text follows this header, unterminated.
struct CompiledLineHeader {
  std::uint16_t opcode;
  std::uint16_t dataLength;  // of what follows the first four bytes
  std::uint16_t wordCount;
  std::uint8_t rawTextLength;
  std::uint8_t pad07;
};
static_assert(offsetof(CompiledLineHeader, rawTextLength) == 0x06);
static_assert(sizeof(CompiledLineHeader) == 0x08);

using ConsoleExecute = bool (*)(const ConsoleParameter* parameters, const CompiledLineHeader* compiled,
                                void* thisReference, void* containingReference, void* script, void* scriptLocals,
                                double* result, std::uint32_t* opcodeOffset);

// One entry of the command table, as the game lays it out.
struct ConsoleCommand {
  const char* name;
  const char* shortName;
  std::uint32_t opcode;
  std::uint32_t unknown14;
  const char* help;
  std::uint8_t needsReference;
  std::uint8_t unknown21;
  std::uint16_t parameterCount;
  std::uint32_t unknown24;
  const ConsoleParameter* parameters;
  ConsoleExecute execute;
  void* compile;
  void* condition;
  std::uint8_t editorFilter;
  std::uint8_t invalidatesCellList;
  std::uint8_t unknown4A[6];
};
static_assert(offsetof(ConsoleCommand, shortName) == 0x08);
static_assert(offsetof(ConsoleCommand, opcode) == 0x10);
static_assert(offsetof(ConsoleCommand, help) == 0x18);
static_assert(offsetof(ConsoleCommand, needsReference) == 0x20);
static_assert(offsetof(ConsoleCommand, parameterCount) == 0x22);
static_assert(offsetof(ConsoleCommand, parameters) == 0x28);
static_assert(offsetof(ConsoleCommand, execute) == 0x30);
static_assert(offsetof(ConsoleCommand, compile) == 0x38);
static_assert(offsetof(ConsoleCommand, condition) == 0x40);
static_assert(offsetof(ConsoleCommand, editorFilter) == 0x48);
static_assert(sizeof(ConsoleCommand) == 0x50);

// Console commands have opcodes from 0x100 up to below 0x345; the script functions that follow them
// in the table have opcodes from 0x1000 up.
inline constexpr std::uint32_t kFirstConsoleOpcode = 0x100;
inline constexpr std::uint32_t kConsoleOpcodeEnd = 0x345;
inline constexpr std::uint32_t kFirstScriptFunctionOpcode = 0x1000;
// At most this many bytes of raw parameter text fit the compiled line.
inline constexpr std::size_t kMaxRawParameterText = 255;

struct ConsoleOptions {
  bool withoutSetMemCheckPoint = false;  // a game whose console has no "SetMemCheckPoint"
};

// Before the game starts.
void ConfigureConsole(const ConsoleOptions& options);
// Called when the game creates its world.
void CreateConsole();

// The whole table: the console commands, then the script functions (opcodes 0x1000 up). Nothing
// readable follows its last entry.
std::span<ConsoleCommand> ConsoleCommandTable();
ConsoleCommand* FindConsoleCommand(const std::string& name);

struct ConsoleRun {
  std::string line;
  std::optional<std::string> command;  // the entry's name when the line was run; none for an unknown word
  std::optional<bool> returned;
};

// Runs a line as the game's console does: the first word chooses the entry by name or short name,
// case ignored; the rest (after the blanks that follow the word) is compiled into the command's
// data and the entry's execute function is called. A rest of more than 255 bytes throws
// std::length_error: the console takes no longer text.
ConsoleRun RunConsoleLine(const std::string& line);

const std::vector<std::string>& ConsoleLines();  // every line printed to the console, in order
const std::vector<ConsoleRun>& ConsoleRuns();
void ClearConsoleRecord();

std::vector<ModelledAddress> ConsoleAddresses();

}  // namespace sim
