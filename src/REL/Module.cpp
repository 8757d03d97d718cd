#include "REL/Module.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "SFSE/FatalError.h"
#include "Win/ModulePath.h"

namespace REL {
namespace {

struct SegmentRule {
  const char* name;
  DWORD requiredFlags;
};
constexpr SegmentRule kSegmentRules[] = {
    {".text", IMAGE_SCN_MEM_EXECUTE}, {".idata", 0}, {".rdata", 0}, {".data", 0}, {".pdata", 0}, {".tls", 0},
    {".text", IMAGE_SCN_MEM_WRITE},   {".gfids", 0},
};
static_assert(std::size(kSegmentRules) == static_cast<std::size_t>(SegmentName::total));

}  // namespace

Module& Module::ForBase(std::uintptr_t base) {
  static std::mutex lock;
  static std::map<std::uintptr_t, Module*> records;  // never freed: records live as long as the process
  std::scoped_lock guard(lock);
  auto& record = records[base];
  if (!record) record = new Module(base);
  return *record;
}

Module& Module::Game() {
  static const std::uintptr_t base = [] {
    // Wide all the way: a game folder with letters outside the code page must still name the module.
    auto path = Win::ModulePath(nullptr).wstring();
    if (path.empty()) path = L"[ProcessHost]";
    return reinterpret_cast<std::uintptr_t>(GetModuleHandleW(path.c_str()));
  }();
  return ForBase(base);
}

Module::Module(std::uintptr_t base) : base_(base) {
  if (!base_) SFSE::ReportAndFail("failed to initializing module info with null module base");
  load_segments();
  filename_ = Win::ModulePath(reinterpret_cast<void*>(base_)).wstring();
  load_version();
}

void Module::load_segments() {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base_);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base_ + dos->e_lfanew);
  const auto* sections = IMAGE_FIRST_SECTION(nt);
  const auto count = std::min<std::size_t>(nt->FileHeader.NumberOfSections, 8);
  for (std::size_t s = 0; s < count; ++s) {
    const auto& section = sections[s];
    for (std::size_t i = 0; i < std::size(kSegmentRules); ++i) {
      const auto& rule = kSegmentRules[i];
      const auto nameLength = std::min<std::size_t>(std::strlen(rule.name), IMAGE_SIZEOF_SHORT_NAME);
      if (std::memcmp(section.Name, rule.name, nameLength) == 0 &&
          (section.Characteristics & rule.requiredFlags) == rule.requiredFlags) {
        segments_[i] = {base_, base_ + section.VirtualAddress, section.Misc.VirtualSize};
      }
    }
  }
}

void Module::load_version() {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(filename_.c_str(), &ignored);
  std::vector<std::byte> block(size);
  void* value = nullptr;
  UINT valueLength = 0;
  std::optional<Version> parsed;
  if (size && GetFileVersionInfoW(filename_.c_str(), 0, size, block.data()) &&
      VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductVersion", &value, &valueLength) &&
      valueLength > 0) {
    std::string text;
    for (const wchar_t* c = static_cast<const wchar_t*>(value); *c; ++c) text += static_cast<char>(*c);
    parsed = ParseVersion(text);
  }
  // Without its product version the game cannot be matched with an address library.
  if (!parsed) SFSE::ReportAndFail("failed to obtain the game's product version from its version resource");
  version_ = *parsed;
}

}  // namespace REL
