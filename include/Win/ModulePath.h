#pragma once
#include <filesystem>

namespace Win {

// The full path of a loaded module (null: the process's main module), however long; empty when
// Windows cannot tell.
std::filesystem::path ModulePath(void* module);

// The process's current directory, however long; empty when Windows cannot tell.
std::filesystem::path CurrentDirectory();

// The module the given address lies in, or null.
void* ModuleOf(const void* address);

}  // namespace Win
