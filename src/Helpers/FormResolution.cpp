#include "Helpers/FormResolution.h"

#include <array>
#include <cctype>
#include <string_view>

#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Parse/FormLine.h"

namespace {

const char* KindName(std::int32_t kind) {
  switch (kind) {
    case kPluginFull: return "Full";
    case kPluginSmall: return "Small";
    case kPluginMedium: return "Medium";
    default: return "";
  }
}

}  // namespace

RE::TESFile* LookupTESFileByName(const std::string& name, std::int32_t* pluginType) {
  constexpr const char* kOp = "LookupTESFileByName";
  if (!pluginType) {
    Log::Error(kOp, "pluginType is nullptr");
    return nullptr;
  }
  auto* dataHandler = RE::TESDataHandler::GetSingleton();
  if (!dataHandler) {
    Log::Error(kOp, "dataHandler is nullptr");
    return nullptr;
  }

  struct FileList {
    const RE::BSTArray<RE::TESFile*>& files;
    const char* name;
    std::int32_t kind;
  };
  const std::array<FileList, 3> lists = {{{dataHandler->files, "FileA", kPluginFull},
                                          {dataHandler->smallFiles, "SmallFileA", kPluginSmall},
                                          {dataHandler->mediumFiles, "MediumFileA", kPluginMedium}}};
  for (const auto& list : lists) {
    if (list.files.size == 0) {
      Log::Warn(kOp, "theFiles.size() (of {}) <= 0, skipping this file array", list.name);
      continue;
    }
    for (std::uint32_t i = 0; i < list.files.size; ++i) {
      auto* file = list.files.data[i];
      if (!file) {
        Log::Error(kOp, "loopFile at ({}) is nullptr, skipping plugin file", i);
        continue;
      }
      if (EqualIgnoringCase(file->fileName, name)) {
        *pluginType = list.kind;
        return file;
      }
    }
  }
  Log::Error(
      kOp,
      "result --> [nullptr] | params: PluginName [{}] | other data: no TESFile could be found with the specified name",
      name);
  return nullptr;
}

RE::TESForm* GetFormFromFile(std::string sHexFormIDNoPrefix, std::string pluginName) {
  constexpr const char* kOp = "GetFormFromFile";
  if (sHexFormIDNoPrefix.empty()) {
    Log::Error(kOp, "parameter sHexFormIDNoPrefix is empty. Returning nullptr.");
    return nullptr;
  }
  if (pluginName.empty()) pluginName = kMasterFileName;

  const bool isMaster = pluginName == kMasterFileName;  // exact: the file search itself ignores case
  const auto length = sHexFormIDNoPrefix.size();
  if (length < kShortFormIDLength) {
    sHexFormIDNoPrefix.insert(0, kPaddedFormIDLength - std::min(length, kPaddedFormIDLength), '0');
  } else if (isMaster && length > kMaxMasterFormIDLength) {
    Log::Error(
        kOp,
        "this HexFormID's length > 8 [{}]. This is not supported format (length must be <= 8 if source plugin is Starfield.esm). Returning nullptr.",
        sHexFormIDNoPrefix);
    return nullptr;
  } else if (!isMaster && length > kMaxPluginFormIDLength) {
    Log::Error(
        kOp,
        "this HexFormID's length > 6 [{}]. This is not supported format (length must be <= 6 if source plugin is not Starfield.esm). Returning nullptr.",
        sHexFormIDNoPrefix);
    return nullptr;
  }

  std::int32_t kind = 0;
  const auto* file = LookupTESFileByName(pluginName, &kind);
  if (!file) {
    Log::Error(kOp, "no PluginFile could be found with the name [{}]. Returning nullptr.", pluginName);
    return nullptr;
  }
  if (kind < kPluginFull || kind > kPluginMedium) {
    Log::Error(kOp, "pluginType for TESFile found with the name [{}] is out of range. Returning nullptr.", pluginName);
    return nullptr;
  }

  const auto localID = Parse::ReadLocalID(sHexFormIDNoPrefix);
  if (!localID) {
    Log::Error(kOp, "std::stoul exception thrown for input String: {}. Returning nullptr.", sHexFormIDNoPrefix);
    return nullptr;
  }

  // Added with 32-bit wrap-around; a local ID wider than its kind's range carries into the index bits.
  const std::uint32_t fileIndex =
      kind == kPluginMedium ? static_cast<std::uint32_t>(file->mediumFileIndex) << RE::TESFile::kMediumFileIndexShift
                            : static_cast<std::uint32_t>(file->smallFileIndex) << RE::TESFile::kSmallFileIndexShift;
  const std::uint32_t formID =
      (static_cast<std::uint32_t>(file->compileIndex) << RE::TESFile::kCompileIndexShift) + fileIndex + localID->value;
  if (formID == 0) {
    Log::Error(kOp, "   FormID [{} | {:x}] supposedly defined in [{} | Type: {}] is out of range. Returning nullptr.",
               formID, formID, pluginName, KindName(kind));
    return nullptr;
  }
  if (auto* form = RE::LookupFormByID(formID)) return form;
  Log::Warn(
      kOp,
      "   this FormID [{} | {:x}] supposedly defined in [{} | Type: {}] is withing range but it does not point to a valid Form or this Form is an unloaded Reference. Returning nullptr.",
      formID, formID, pluginName, KindName(kind));
  return nullptr;
}
