#include "SFSE/Trampoline.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include <spdlog/spdlog.h>

#include "REL/Module.h"
#include "SFSE/API.h"
#include "SFSE/FatalError.h"

namespace SFSE {
namespace {

constexpr std::uintptr_t kReach = 0x80000000;  // a rel32 reaches 2 GiB either way

}  // namespace

SearchWindow TrampolineSearchWindow(std::uintptr_t hint, std::uint64_t granularity) noexcept {
  const std::uintptr_t lowest = hint >= kReach ? AlignUp(hint - kReach, granularity) : 0;
  const std::uintptr_t highest =
      hint < 0xFFFFFFFF7FFFFFFFull ? AlignDown(hint + kReach, granularity) : std::numeric_limits<std::uintptr_t>::max();
  return {lowest, highest};
}

std::optional<std::int32_t> Rel32Displacement(std::uintptr_t target, std::uintptr_t nextInstruction) noexcept {
  const auto distance = static_cast<std::int64_t>(target - nextInstruction);
  if (distance < std::numeric_limits<std::int32_t>::min() || distance > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(distance);
}

void Trampoline::release() {
  if (data_ && release_) release_(data_, capacity_);
  data_ = nullptr;
  capacity_ = 0;
  size_ = 0;
  release_ = {};
  branches5_.clear();
}

void Trampoline::set_trampoline(void* memory, std::size_t size, std::function<void(void*, std::size_t)> release) {
  this->release();
  data_ = static_cast<std::byte*>(memory);
  capacity_ = size;
  size_ = 0;
  release_ = std::move(release);
  std::memset(data_, 0xCC, capacity_);
  log_stats();
}

void Trampoline::create(std::size_t size, std::uintptr_t hint) {
  const auto granularity = AllocationGranularity();
  void* block = FindFreeBlock(TrampolineSearchWindow(hint, granularity), granularity, size, QueryRegion,
                              ReserveWithProtection(PAGE_EXECUTE_READWRITE));
  if (!block) ReportAndFail("failed to create trampoline");
  set_trampoline(block, size, [](void* memory, std::size_t) { VirtualFree(memory, 0, MEM_RELEASE); });
}

void* Trampoline::allocate(std::size_t size) {
  if (capacity_ - size_ < size) ReportAndFail("Failed to handle allocation request");
  void* result = data_ + size_;
  size_ += size;
  return result;
}

bool Trampoline::write_5branch(std::uintptr_t source, std::uintptr_t destination, std::uint8_t opcode) {
  std::byte*& slot = branches5_[destination];
  if (!slot) {
    slot = static_cast<std::byte*>(allocate(sizeof(AbsoluteJump)));
    log_stats();
  }
  // jmp [rip+0], then the absolute destination; written each time, so a damaged slot heals.
  const AbsoluteJump jump{{0xFF, 0x25}, 0, destination};
  std::memcpy(slot, &jump, sizeof(jump));

  const auto displacement = Rel32Displacement(reinterpret_cast<std::uintptr_t>(slot), source + sizeof(RelativeCall));
  if (!displacement) ReportAndFail("displacement is out of range");

  DWORD previous = 0;
  if (!VirtualProtect(reinterpret_cast<void*>(source), sizeof(RelativeCall), PAGE_EXECUTE_READWRITE, &previous))
    return false;
  const RelativeCall branch{opcode, *displacement};
  std::memcpy(reinterpret_cast<void*>(source), &branch, sizeof(branch));
  VirtualProtect(reinterpret_cast<void*>(source), sizeof(RelativeCall), previous, &previous);
  FlushInstructionCache(GetCurrentProcess(), reinterpret_cast<void*>(source), sizeof(RelativeCall));
  return true;
}

CallPatch Trampoline::patch_call(std::uintptr_t site, std::uintptr_t destination) {
  RelativeCall call{};
  std::memcpy(&call, reinterpret_cast<const void*>(site), sizeof(call));
  if (call.opcode != RelativeCall::kOpcode) return {CallPatch::kNotACall, 0};
  const std::uintptr_t previousTarget = site + sizeof(call) + static_cast<std::intptr_t>(call.displacement);
  if (!write_5branch(site, destination, RelativeCall::kOpcode)) return {CallPatch::kNotWritable, previousTarget};
  return {CallPatch::kPatched, previousTarget};
}

void Trampoline::log_stats() const {
  const double percent = capacity_ ? static_cast<double>(size_) / static_cast<double>(capacity_) * 100.0 : 0.0;
  // Debug level: the plug-in's logger (info) never writes it, a debugging session's may.
  if (auto* logger = spdlog::default_logger_raw())
    logger->log(spdlog::source_loc{__FILE__, __LINE__, SPDLOG_FUNCTION}, spdlog::level::debug,
                "{} => {}B / {}B ({:05.2f}%)", name_, size_, capacity_, percent);
}

Trampoline& GetTrampoline() {
  static Trampoline trampoline("Default Trampoline");
  return trampoline;
}

void AllocTrampoline(std::size_t size) {
  auto& trampoline = GetTrampoline();
  if (const auto* host = GetTrampolineInterface()) {
    if (void* memory = host->AllocateFromBranchPool(GetPluginHandle(), size)) {
      trampoline.set_trampoline(memory, size);
      return;
    }
  }
  const auto& text = REL::Module::Game().segment(REL::SegmentName::textx);
  trampoline.create(size, text.address + text.size);
}

}  // namespace SFSE
