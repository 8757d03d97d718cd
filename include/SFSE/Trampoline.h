#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "SFSE/MemoryRegions.h"

namespace SFSE {

// Bounds of the address window a block near hint may lie in, aligned to the granularity.
SearchWindow TrampolineSearchWindow(std::uintptr_t hint, std::uint64_t granularity) noexcept;

// The rel32 that makes an instruction ending at nextInstruction reach target, if it fits.
std::optional<std::int32_t> Rel32Displacement(std::uintptr_t target, std::uintptr_t nextInstruction) noexcept;

#pragma pack(push, 1)
// E8 rel32: call to the next instruction plus the displacement.
struct RelativeCall {
  static constexpr std::uint8_t kOpcode = 0xE8;
  std::uint8_t opcode;
  std::int32_t displacement;
};
static_assert(sizeof(RelativeCall) == 5);

// FF 25 00000000: jmp [rip+0], the absolute destination right behind it.
struct AbsoluteJump {
  std::uint8_t opcode[2];
  std::int32_t ripOffset;
  std::uint64_t destination;
};
static_assert(sizeof(AbsoluteJump) == 14);
#pragma pack(pop)

// What redirecting a call site did; previousTarget is where the call went before.
struct CallPatch {
  // kNotAttempted: another site of the same group could not be patched; kChangedMeanwhile: the site's
  // bytes changed between reading and writing them (another writer), so it was left to that writer.
  enum Result { kPatched, kNotACall, kNotWritable, kNotAttempted, kChangedMeanwhile } result;
  std::uintptr_t previousTarget;
};

// Where a patched call went before: stored before the site is written, since a game thread may run
// the new call at once, and the hook's one way to hand the call on to the game.
template <class Signature>
class SavedTarget;
template <class Result, class... Arguments>
class SavedTarget<Result(Arguments...)> {
 public:
  std::atomic<std::uintptr_t>& address() noexcept { return address_; }
  bool saved() const noexcept { return address_.load(std::memory_order_acquire) != 0; }
  std::uintptr_t operator=(std::uintptr_t address) noexcept {  // as std::atomic's; tests set a target
    address_.store(address, std::memory_order_release);
    return address;
  }
  Result operator()(Arguments... arguments) const {
    using Target = Result (*)(Arguments...);
    return reinterpret_cast<Target>(address_.load(std::memory_order_acquire))(arguments...);
  }

 private:
  std::atomic<std::uintptr_t> address_{0};
};

// One call to redirect; savedTarget, when given, receives the call's previous target before the
// site is written, since a game thread may run the new call at once.
struct CallRedirect {
  std::uintptr_t site;
  std::uintptr_t destination;
  std::atomic<std::uintptr_t>* savedTarget = nullptr;
};

// The relative call at site, when site holds one.
std::optional<RelativeCall> ReadRelativeCall(std::uintptr_t site) noexcept;
std::uintptr_t RelativeCallTarget(std::uintptr_t site, const RelativeCall& call) noexcept;

// Gives the call at site its new displacement so that no thread sees half an instruction: one 8-byte
// compare-exchange of the aligned word that holds the five bytes, or else of the word that holds the
// four displacement bytes (the opcode stays). Where those straddle two words, the four bytes are the
// shortest write there is. False when the site no longer holds expected. The site must be writable.
bool RetargetRelativeCall(std::uintptr_t site, const RelativeCall& expected, std::int32_t displacement) noexcept;

// Code made writable for as long as this lives; the previous protection comes back after.
class WritableCode {
 public:
  WritableCode(std::uintptr_t address, std::size_t size) noexcept;
  ~WritableCode();
  WritableCode(const WritableCode&) = delete;
  WritableCode& operator=(const WritableCode&) = delete;
  bool writable() const noexcept { return writable_; }

 private:
  void* address_;
  std::size_t size_;
  unsigned long previous_ = 0;
  bool writable_ = false;
};

class Trampoline {
 public:
  static constexpr std::size_t kSlotSize = sizeof(AbsoluteJump);

  explicit Trampoline(std::string name) : name_(std::move(name)) {}
  Trampoline(const Trampoline&) = delete;
  Trampoline& operator=(const Trampoline&) = delete;
  ~Trampoline() { release(); }

  // Own block near hint (executable read-write pages); fatal when none can be found.
  void create(std::size_t size, std::uintptr_t hint);
  // Memory someone else owns (the host's branch pool): nothing to release.
  void set_trampoline(void* memory, std::size_t size, std::function<void(void*, std::size_t)> release = {});

  void* allocate(std::size_t size);
  // Writes opcode + rel32 at source, reaching destination through a slot of ours; false when the
  // site's protection could not be changed (nothing written there).
  bool write_5branch(std::uintptr_t source, std::uintptr_t destination, std::uint8_t opcode = RelativeCall::kOpcode);
  // Redirects the relative call at site to destination; a site that holds no relative call is left alone.
  CallPatch patch_call(std::uintptr_t site, std::uintptr_t destination);
  // Redirects every call of the group or none: one result per redirect, in order.
  std::vector<CallPatch> patch_calls(std::span<const CallRedirect> redirects);
  void log_stats() const;

  std::size_t allocated_size() const noexcept { return size_; }
  std::size_t capacity() const noexcept { return capacity_; }
  const void* data() const noexcept { return data_; }

 private:
  void release();
  // The rel32 from a 5-byte instruction at source to a slot of ours that jumps to destination.
  std::int32_t slot_displacement(std::uintptr_t source, std::uintptr_t destination);

  std::string name_;
  std::byte* data_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
  std::function<void(void*, std::size_t)> release_;
  std::map<std::uintptr_t, std::byte*> branches5_;
};

Trampoline& GetTrampoline();

// Gives the process-wide trampoline its memory: the host's branch pool when it has some for us,
// otherwise a block of our own next to the end of the game's code.
void AllocTrampoline(std::size_t size);

}  // namespace SFSE
