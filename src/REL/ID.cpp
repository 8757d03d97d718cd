#include "REL/ID.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "REL/Module.h"
#include "SFSE/FatalError.h"
#include "Win/MappedFile.h"
#include "Win/ModulePath.h"
#include "Win/Text.h"

namespace REL {
IDDatabase& IDDatabase::get() {
  static IDDatabase database;
  return database;
}

IDDatabase::~IDDatabase() { release_mapping(); }

int IDDatabase::platform() { return GetModuleHandleW(L"steam_api64") ? 0 : 1; }

std::wstring IDDatabase::addresslib_filename() {
  const auto version = Module::Game().version().string('-');
  // Not std::filesystem::current_path: it cannot hold a folder longer than 260 characters.
  std::wstring path = Win::CurrentDirectory().wstring();
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  path += fmt::format(L"{}\\versionlib-{}", L"Data\\SFSE\\Plugins", std::wstring(version.begin(), version.end()));
  if (const int id = platform(); id != 0) path += fmt::format(L"-{}", id);
  path += L".bin";
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    SFSE::ReportAndFail(fmt::format("Failed to find address library file: \n{}", Win::ToUtf8(path)));
  return path;
}

void IDDatabase::release_mapping() noexcept {
  if (view_) UnmapViewOfFile(view_);
  if (mapping_) CloseHandle(mapping_);
  view_ = nullptr;
  mapping_ = nullptr;
  table_ = {};
}

void IDDatabase::unpack_file(ByteReader& reader, const Header& header, std::span<IDOffsetPair> out) {
  try {
    Parse::DecodeAddressLibraryTable(reader, static_cast<std::uint64_t>(header.pointerSize), out);
  } catch (const Parse::UnhandledType&) {
    SFSE::ReportAndFail("unhandled type");
  }
}

bool IDDatabase::load_file(const std::wstring& path, const Version& gameVersion) {
  const Win::MappedFile file{std::filesystem::path(path)};
  if (file.status() == Win::MappedFile::Status::CannotOpen) SFSE::ReportAndFail("failed to open address library file");

  try {
    if (file.status() != Win::MappedFile::Status::Mapped) throw ByteReader::ShortRead{};
    ByteReader reader(file.bytes());

    Header header;
    header.format = Parse::ReadAddressLibraryFormat(reader);
    if (header.format != kFormat)
      SFSE::ReportAndFail(fmt::format(
          "Unsupported address library format: {}\nCompiled IDDatabase version: {}\nThis means this script extender "
          "plugin is incompatible with the address library available for this version of the game, and thus does "
          "not support it.",
          header.format, kFormat));
    Parse::AddressLibraryHeader read;
    Parse::ReadAddressLibraryHeaderRest(reader, read);
    header.version.parts = read.version;
    header.pointerSize = read.pointerSize;
    header.addressCount = read.addressCount;

    if (header.version != gameVersion)
      SFSE::ReportAndFail(fmt::format("Address library version mismatch.\nRead-in: {}", header.version.string('.')));
    // A negative count or pointer size describes no table at all.
    if (header.addressCount < 0 || header.pointerSize < 0) throw ByteReader::ShortRead{};

    const auto name = fmt::format("AddressLibrary-Offsets-v{}-{}-{}", kFormat, gameVersion.string('-'), platform());
    const auto wideName = Win::FromUtf8(name);
    if (wideName.empty()) SFSE::ReportAndFail("Failed to generate memory map name.");

    release_mapping();
    const auto count = static_cast<std::size_t>(header.addressCount);
    const std::uint64_t bytesNeeded = count * sizeof(IDOffsetPair);
    if (HANDLE existing = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, wideName.c_str())) {
      if (void* view = MapViewOfFile(existing, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, bytesNeeded)) {
        mapping_ = existing;
        view_ = static_cast<IDOffsetPair*>(view);
        table_ = {view_, count};
        decodedHere_ = false;
        std::atomic_ref<bool>(loaded_).store(true, std::memory_order_release);
        return true;
      }
      CloseHandle(existing);
    }

    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(bytesNeeded >> 32),
                                  static_cast<DWORD>(bytesNeeded), wideName.c_str());
    if (mapping_)
      view_ = static_cast<IDOffsetPair*>(MapViewOfFile(mapping_, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, bytesNeeded));
    if (!mapping_ || !view_) SFSE::ReportAndFail("failed to create shared mapping");

    unpack_file(reader, header, {view_, count});
    table_ = {view_, count};
    decodedHere_ = true;
    std::atomic_ref<bool>(loaded_).store(true, std::memory_order_release);
    return true;
  } catch (const ByteReader::ShortRead&) {
    std::string shownPath = Win::ToUtf8(path);
    if (shownPath.empty()) shownPath = "<unknown filename>";
    SFSE::ReportAndFail(fmt::format(
        "Failed to locate an appropriate address library with the path: {}\nThis means you are either missing the "
        "address library for this specific version of the game or running on unsupported platform.\nPlease continue "
        "to the mod page for address library to download an appropriate version or platform. \nIf one is not "
        "available, then it is likely that address library has not yet added support for this version of the game "
        "or this platform.\nCurrent version: {}\nCurrent platform: {}",
        shownPath, gameVersion.string('.'), platform() == 0 ? "Steam" : "Microsoft Store"));
  }
}

void IDDatabase::ensure_loaded() {
  // Lock-free once loaded: the flag is written once, under the lock, after the table is complete.
  if (std::atomic_ref<bool>(loaded_).load(std::memory_order_acquire)) return;
  std::scoped_lock guard(loadLock_);
  if (loaded_) return;
  load_file(addresslib_filename(), Module::Game().version());
}

std::uint64_t IDDatabase::id2offset(std::uint64_t id) {
  ensure_loaded();
  const auto it = std::lower_bound(table_.begin(), table_.end(), id,
                                   [](const IDOffsetPair& pair, std::uint64_t wanted) { return pair.id < wanted; });
  if (it == table_.end() || it->id != id)
    SFSE::ReportAndFail(fmt::format(
        "Failed to find the id within the address library: {}\nCompiled IDDatabase version: {}\nThis means this "
        "script extender plugin is incompatible with the address library for this version of the game, and thus "
        "does not support it.",
        id, kFormat));
  return it->offset;
}

std::uintptr_t ResolveAddressLibraryID(std::uint64_t id) {
  const auto base = Module::Game().base();
  return base + IDDatabase::get().id2offset(id);
}

}  // namespace REL
