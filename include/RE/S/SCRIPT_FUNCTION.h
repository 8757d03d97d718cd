#pragma once
// The game's console command table: a contiguous array of command entries, each with its parameter
// records and the function the console calls when the command is entered.
#include <cstddef>
#include <cstdint>

namespace RE {

struct TESObjectREFR;

struct SCRIPT_PARAMETER {
  const char* name;
  std::uint32_t typeCode;
  std::uint8_t optional;
};
static_assert(offsetof(SCRIPT_PARAMETER, typeCode) == 0x08);
static_assert(offsetof(SCRIPT_PARAMETER, optional) == 0x0C);
static_assert(sizeof(SCRIPT_PARAMETER) == 0x10);

namespace Script {

// What the console compiled from a command line: the raw parameter text's length, and the text after
// this header. The text is not zero-terminated: only rawTextLength bytes of it are the game's.
struct ScriptData {
  static constexpr std::size_t kRawTextOffset = 0x08;

  std::uint8_t pad00[0x06];
  std::uint8_t rawTextLength;
  std::uint8_t pad07;

  const char* RawText() const noexcept { return reinterpret_cast<const char*>(this) + kRawTextOffset; }
};
static_assert(offsetof(ScriptData, rawTextLength) == 0x06);
static_assert(sizeof(ScriptData) == ScriptData::kRawTextOffset);

using ExecuteFunction = bool (*)(const SCRIPT_PARAMETER* parameters, const ScriptData* data, TESObjectREFR* thisObject,
                                 TESObjectREFR* containingObject, void* script, void* scriptLocals, double* result,
                                 std::uint32_t* opcodeOffset);

struct SCRIPT_FUNCTION {
  // The game's console commands end where the opcodes reach this number.
  static constexpr std::uint32_t kConsoleOpcodeEnd = 0x345;

  const char* functionName;
  const char* shortName;
  std::uint32_t opcode;
  std::uint8_t pad14[0x18 - 0x14];
  const char* helpString;
  std::uint8_t referenceFunction;  // the command needs a selected reference
  std::uint8_t pad21;
  std::uint16_t numParams;
  std::uint8_t pad24[0x28 - 0x24];
  const SCRIPT_PARAMETER* params;
  ExecuteFunction executeFunction;
  void* compileFunction;
  void* conditionFunction;
  std::uint8_t editorFilter;
  std::uint8_t invalidatesCellList;
  std::uint8_t pad4A[0x50 - 0x4A];
};
static_assert(offsetof(SCRIPT_FUNCTION, shortName) == 0x08);
static_assert(offsetof(SCRIPT_FUNCTION, opcode) == 0x10);
static_assert(offsetof(SCRIPT_FUNCTION, helpString) == 0x18);
static_assert(offsetof(SCRIPT_FUNCTION, referenceFunction) == 0x20);
static_assert(offsetof(SCRIPT_FUNCTION, numParams) == 0x22);
static_assert(offsetof(SCRIPT_FUNCTION, params) == 0x28);
static_assert(offsetof(SCRIPT_FUNCTION, executeFunction) == 0x30);
static_assert(offsetof(SCRIPT_FUNCTION, compileFunction) == 0x38);
static_assert(offsetof(SCRIPT_FUNCTION, conditionFunction) == 0x40);
static_assert(sizeof(SCRIPT_FUNCTION) == 0x50);

}  // namespace Script
}  // namespace RE
