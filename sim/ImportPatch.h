#pragma once
// Redirects a module's calls of an imported function by rewriting its import address table: the
// host's way of seeing what a plug-in asks of the system.
#include <windows.h>

namespace sim {

// Points every import of function (by name, from whichever DLL) in module at replacement. Returns
// the address the table held before, or null when the module does not import the function.
void* PatchImport(HMODULE module, const char* function, void* replacement);

}  // namespace sim
