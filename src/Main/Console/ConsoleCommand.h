#pragma once
// The console command "QuillmereCode": the game's "SetMemCheckPoint" entry taken over in place, and
// what the console calls when the command is entered.
#include <cstdint>

#include "RE/S/SCRIPT_FUNCTION.h"

// The first entry of the game's console command table, or null (logged).
RE::Script::SCRIPT_FUNCTION* GetFirstConsoleCommand();

// Rewrites the first "SetMemCheckPoint" among the console commands (the entries before opcode
// 0x345) as "QuillmereCode". False when the table or the entry is missing.
bool Install_Command_Quillmere();

// The command's execute function. Reads only the compiled data: the raw parameter text, whose first
// word chooses the function (FuncIndex) and whose second is a hexadecimal number (FuncParam1).
bool QuillmereCodeCommand(const RE::SCRIPT_PARAMETER* parameters, const RE::Script::ScriptData* data,
                          RE::TESObjectREFR* thisObject, RE::TESObjectREFR* containingObject, void* script,
                          void* scriptLocals, double* result, std::uint32_t* opcodeOffset) noexcept;
