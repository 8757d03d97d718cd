#pragma once
#include <cstdint>

#include "RE/B/BSTArray.h"
#include "RE/IDs.h"
#include "REL/ID.h"

namespace RE {

// A loaded plug-in file and its load indices.
struct TESFile {
  // Where a file's indices stand in the form IDs of its forms.
  static constexpr unsigned kCompileIndexShift = 24;
  static constexpr unsigned kMediumFileIndexShift = 16;
  static constexpr unsigned kSmallFileIndexShift = 12;

  char fileName[260];
  std::uint8_t compileIndex;
  std::uint8_t mediumFileIndex;
  std::uint16_t smallFileIndex;
};

// The game's data handler: the three lists of loaded plug-in files.
struct TESDataHandler {
  void* vtable;
  BSTArray<TESFile*> files;        // FileA: full plug-in files
  BSTArray<TESFile*> smallFiles;   // SmallFileA
  BSTArray<TESFile*> mediumFiles;  // MediumFileA

  static TESDataHandler* GetSingleton() {
    return *reinterpret_cast<TESDataHandler**>(REL::GameAddress<ID::DataHandler>());
  }
};

}  // namespace RE
