#include "ImportPatch.h"

#include <cstdint>
#include <cstring>

namespace sim {

void* PatchImport(HMODULE module, const char* function, void* replacement) {
  auto* base = reinterpret_cast<std::uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const auto& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!directory.VirtualAddress) return nullptr;
  void* previous = nullptr;
  for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       descriptor->Name; ++descriptor) {
    // The names stay in the lookup table; the address table holds what the loader bound.
    const auto lookupRva = descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk : descriptor->FirstThunk;
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA64*>(base + lookupRva);
    auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + descriptor->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL64(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      DWORD protection = 0;
      if (!VirtualProtect(&addresses->u1.Function, sizeof(addresses->u1.Function), PAGE_READWRITE, &protection))
        continue;
      previous = reinterpret_cast<void*>(addresses->u1.Function);
      addresses->u1.Function = reinterpret_cast<ULONGLONG>(replacement);
      VirtualProtect(&addresses->u1.Function, sizeof(addresses->u1.Function), protection, &protection);
    }
  }
  return previous;
}

}  // namespace sim
