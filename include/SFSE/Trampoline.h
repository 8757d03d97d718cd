#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "SFSE/MemoryRegions.h"

namespace SFSE {

// Bounds of the address window a block near hint may lie in, aligned to the granularity.
SearchWindow TrampolineSearchWindow(std::uintptr_t hint, std::uint64_t granularity) noexcept;

// The rel32 that makes an instruction ending at nextInstruction reach target, if it fits.
std::optional<std::int32_t> Rel32Displacement(std::uintptr_t target, std::uintptr_t nextInstruction) noexcept;

class Trampoline {
 public:
  static constexpr std::size_t kSlotSize = 14;

  explicit Trampoline(std::string name) : name_(std::move(name)) {}
  Trampoline(const Trampoline&) = delete;
  Trampoline& operator=(const Trampoline&) = delete;
  ~Trampoline() { release(); }

  // Own block near hint (executable read-write pages); fatal when none can be found.
  void create(std::size_t size, std::uintptr_t hint);
  // Memory someone else owns (the host's branch pool): nothing to release.
  void set_trampoline(void* memory, std::size_t size, std::function<void(void*, std::size_t)> release = {});

  void* allocate(std::size_t size);
  void write_5branch(std::uintptr_t source, std::uintptr_t destination, std::uint8_t opcode = 0xE8);
  void log_stats() const;

  std::size_t allocated_size() const noexcept { return size_; }
  std::size_t capacity() const noexcept { return capacity_; }
  const void* data() const noexcept { return data_; }

 private:
  void release();

  std::string name_;
  std::byte* data_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
  std::function<void(void*, std::size_t)> release_;
  std::map<std::uintptr_t, std::byte*> branches5_;
  std::map<std::uintptr_t, std::byte*> branches6_;
};

Trampoline& GetTrampoline();

// Gives the process-wide trampoline its memory: the host's branch pool when it has some for us,
// otherwise a block of our own next to the end of the game's code.
void AllocTrampoline(std::size_t size);

}  // namespace SFSE
