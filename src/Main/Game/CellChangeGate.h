#pragma once
// How often cell events may place unique NPCs: the cell-change timer and the gate that reads it.
#include <cstdint>
#include <string>

#include "Helpers/Relaxed.h"
#include "Helpers/SteadyClock.h"
#include "Main/Game/MenuFlags.h"

struct CellEventStateRecord {
  Relaxed<std::int64_t> cellChangeTime = 0;  // steady clock, nanoseconds; written only by SaveAllowedCellChangeTime
  MenuFlags menus;

  void Reset() { *this = CellEventStateRecord{}; }
};

extern CellEventStateRecord CellEventState;

// Arms the timer at the steady clock's now and logs the wall-clock time.
void SaveAllowedCellChangeTime();

// Open when the whole milliseconds from savedNs to nowNs, as a 32-bit number, exceed allowedMs.
bool IsCellChangeGateOpen(std::int64_t nowNs, std::int64_t savedNs, std::int32_t allowedMs) noexcept;
// The gate now, for the timer and iAllowedCellChangeTime.
bool IsCellChangeGateOpen() noexcept;

// The system time in UTC as "YYYY-MM-DD HH:MM:SS.fffffff".
std::string CurrentUtcTimeText();
