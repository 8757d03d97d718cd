#pragma once
#include <cstdint>

#include "RE/B/BSTArray.h"
#include "RE/IDs.h"
#include "REL/ID.h"

namespace RE {

// A loaded plug-in file and its load indices.
struct TESFile {
  char fileName[260];
  std::uint8_t compileIndex;
  std::uint8_t mediumFileIndex;
  std::uint16_t smallFileIndex;
};

// The game's data handler: the three lists of loaded plug-in files.
struct TESDataHandler {
  void* vtable;
  BSTArray<TESFile*> files;       // FileA: full plug-in files
  BSTArray<TESFile*> smallFiles;  // SmallFileA
  BSTArray<TESFile*> mediumFiles; // MediumFileA

  static TESDataHandler* GetSingleton() {
    return *reinterpret_cast<TESDataHandler**>(REL::GameAddress<ID::DataHandler>());
  }
};

}  // namespace RE
