#pragma once
// A crash in the game process (in the plug-in or in the game) ends the sim with a line naming the
// exception, the address and the module, and exit code 4: never with a code that looks like success.
#include <windows.h>

#include <string>

namespace sim {

void InstallCrashReport();

// "access violation (0xC0000005) writing address 0x0000000000000010 at 0x00007FF6A0001234
// (Brindlewick.dll+0x1234)": what the crash line says after "brindlewick-sim: crash: ".
std::string DescribeCrash(const EXCEPTION_RECORD& record);

}  // namespace sim
