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
  const std::uintptr_t highest = hint < 0xFFFFFFFF7FFFFFFFull ? AlignDown(hint + kReach, granularity)
                                                              : std::numeric_limits<std::uintptr_t>::max();
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
  branches6_.clear();
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

void Trampoline::write_5branch(std::uintptr_t source, std::uintptr_t destination, std::uint8_t opcode) {
  std::byte*& slot = branches5_[destination];
  if (!slot) {
    slot = static_cast<std::byte*>(allocate(kSlotSize));
    log_stats();
  }

  const auto displacement = Rel32Displacement(reinterpret_cast<std::uintptr_t>(slot), source + 5);
  if (!displacement) ReportAndFail("displacement is out of range");

  DWORD previous = 0;
  if (VirtualProtect(reinterpret_cast<void*>(source), 5, PAGE_EXECUTE_READWRITE, &previous)) {
    auto* code = reinterpret_cast<std::uint8_t*>(source);
    code[0] = opcode;
    std::memcpy(code + 1, &*displacement, sizeof(std::int32_t));
    VirtualProtect(reinterpret_cast<void*>(source), 5, previous, &previous);
    FlushInstructionCache(GetCurrentProcess(), code, 5);
  }

  // FF 25 00000000: jmp [rip+0], then the absolute destination.
  const std::uint8_t jump[6] = {0xFF, 0x25, 0x00, 0x00, 0x00, 0x00};
  std::memcpy(slot, jump, sizeof(jump));
  std::memcpy(slot + sizeof(jump), &destination, sizeof(destination));
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
