#include "SFSE/Trampoline.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include <spdlog/spdlog.h>

#include "REL/Module.h"
#include "SFSE/API.h"
#include "SFSE/FatalError.h"

namespace SFSE {
namespace {

constexpr std::uintptr_t kReach = 0x80000000;  // a rel32 reaches 2 GiB either way

// Replaces count bytes at offset inside the aligned 8-byte word, as one compare-exchange; false when
// those bytes are not what the caller expects.
bool ExchangeInWord(std::uintptr_t word, std::size_t offset, const void* expected, const void* replacement,
                    std::size_t count) noexcept {
  auto* target = reinterpret_cast<volatile LONG64*>(word);
  LONG64 current = *target;
  for (;;) {
    if (std::memcmp(reinterpret_cast<const std::byte*>(&current) + offset, expected, count) != 0) return false;
    LONG64 desired = current;
    std::memcpy(reinterpret_cast<std::byte*>(&desired) + offset, replacement, count);
    const LONG64 seen = InterlockedCompareExchange64(target, desired, current);
    if (seen == current) return true;
    current = seen;
  }
}

// Sites sharing a page: each protection change records the one before it, so they are undone in
// reverse order and the page ends as the game had it.
class WritableSites {
 public:
  ~WritableSites() {
    while (!sites_.empty()) sites_.pop_back();
  }
  bool Add(std::uintptr_t site) {
    sites_.push_back(std::make_unique<WritableCode>(site, sizeof(RelativeCall)));
    return sites_.back()->writable();
  }

 private:
  std::vector<std::unique_ptr<WritableCode>> sites_;
};

}  // namespace

std::optional<RelativeCall> ReadRelativeCall(std::uintptr_t site) noexcept {
  RelativeCall call{};
  std::memcpy(&call, reinterpret_cast<const void*>(site), sizeof(call));
  if (call.opcode != RelativeCall::kOpcode) return std::nullopt;
  return call;
}

std::uintptr_t RelativeCallTarget(std::uintptr_t site, const RelativeCall& call) noexcept {
  return site + sizeof(call) + static_cast<std::intptr_t>(call.displacement);
}

bool RetargetRelativeCall(std::uintptr_t site, const RelativeCall& expected, std::int32_t displacement) noexcept {
  const RelativeCall replacement{expected.opcode, displacement};
  const std::uintptr_t word = site & ~std::uintptr_t{7};
  if (site - word + sizeof(RelativeCall) <= 8)
    return ExchangeInWord(word, site - word, &expected, &replacement, sizeof(RelativeCall));
  const std::uintptr_t field = site + offsetof(RelativeCall, displacement);
  const std::uintptr_t fieldWord = field & ~std::uintptr_t{7};
  if (field - fieldWord + sizeof(displacement) <= 8)
    return ExchangeInWord(fieldWord, field - fieldWord, &expected.displacement, &displacement, sizeof(displacement));
  if (std::memcmp(reinterpret_cast<const void*>(site), &expected, sizeof(expected)) != 0) return false;
  std::memcpy(reinterpret_cast<void*>(field), &displacement, sizeof(displacement));
  return true;
}

WritableCode::WritableCode(std::uintptr_t address, std::size_t size) noexcept {
  // The whole aligned words a compare-exchange may touch.
  const std::uintptr_t first = address & ~std::uintptr_t{7};
  const std::uintptr_t last = (address + size + 7) & ~std::uintptr_t{7};
  address_ = reinterpret_cast<void*>(first);
  size_ = last - first;
  DWORD previous = 0;
  writable_ = VirtualProtect(address_, size_, PAGE_EXECUTE_READWRITE, &previous) != FALSE;
  previous_ = previous;
}

WritableCode::~WritableCode() {
  DWORD ignored = 0;
  if (writable_) VirtualProtect(address_, size_, previous_, &ignored);
}

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

std::int32_t Trampoline::slot_displacement(std::uintptr_t source, std::uintptr_t destination) {
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
  return *displacement;
}

bool Trampoline::write_5branch(std::uintptr_t source, std::uintptr_t destination, std::uint8_t opcode) {
  const auto displacement = slot_displacement(source, destination);
  const WritableCode access(source, sizeof(RelativeCall));
  if (!access.writable()) return false;
  const RelativeCall branch{opcode, displacement};
  std::memcpy(reinterpret_cast<void*>(source), &branch, sizeof(branch));
  FlushInstructionCache(GetCurrentProcess(), reinterpret_cast<void*>(source), sizeof(RelativeCall));
  return true;
}

CallPatch Trampoline::patch_call(std::uintptr_t site, std::uintptr_t destination) {
  const CallRedirect redirect{site, destination};
  return patch_calls({&redirect, 1}).front();
}

std::vector<CallPatch> Trampoline::patch_calls(std::span<const CallRedirect> redirects) {
  std::vector<CallPatch> results(redirects.size(), CallPatch{CallPatch::kNotAttempted, 0});
  std::vector<RelativeCall> calls(redirects.size());
  const auto failed = [&] {
    return std::any_of(results.begin(), results.end(), [](const CallPatch& r) {
      return r.result != CallPatch::kNotAttempted && r.result != CallPatch::kPatched;
    });
  };
  for (std::size_t i = 0; i < redirects.size(); ++i) {
    const auto call = ReadRelativeCall(redirects[i].site);
    if (!call) {
      results[i].result = CallPatch::kNotACall;
      continue;
    }
    calls[i] = *call;
    results[i].previousTarget = RelativeCallTarget(redirects[i].site, *call);
  }
  if (failed()) return results;

  // Every site writable before any is written: a group is never left half-patched by a refusal.
  WritableSites access;
  for (std::size_t i = 0; i < redirects.size(); ++i)
    if (!access.Add(redirects[i].site)) results[i].result = CallPatch::kNotWritable;
  if (failed()) return results;

  std::vector<std::int32_t> displacements;
  for (const auto& redirect : redirects)
    displacements.push_back(slot_displacement(redirect.site, redirect.destination));
  for (std::size_t i = 0; i < redirects.size(); ++i)
    if (redirects[i].savedTarget) redirects[i].savedTarget->store(results[i].previousTarget, std::memory_order_release);

  for (std::size_t i = 0; i < redirects.size(); ++i) {
    if (RetargetRelativeCall(redirects[i].site, calls[i], displacements[i])) {
      results[i].result = CallPatch::kPatched;
      continue;
    }
    results[i].result = CallPatch::kChangedMeanwhile;
    // Undo the group's sites written so far. Their saved targets stay: a thread may be inside a hook.
    for (std::size_t j = 0; j < i; ++j) {
      RetargetRelativeCall(redirects[j].site, RelativeCall{calls[j].opcode, displacements[j]}, calls[j].displacement);
      results[j].result = CallPatch::kNotAttempted;
    }
    for (std::size_t j = i; j < redirects.size(); ++j)
      if (redirects[j].savedTarget) redirects[j].savedTarget->store(0, std::memory_order_release);
    break;
  }
  for (const auto& redirect : redirects)
    FlushInstructionCache(GetCurrentProcess(), reinterpret_cast<void*>(redirect.site), sizeof(RelativeCall));
  return results;
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
