// The trampoline: where its block may lie, how it is found, and the call patches that go through it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildActions.h"
#include "LogCapture.h"
#include "PluginLog.h"
#include "REL/Module.h"
#include "SFSE/Logger.h"
#include "SFSE/Trampoline.h"

namespace {

constexpr std::uint64_t kGranularity = 0x10000;
constexpr std::uintptr_t kTop = std::numeric_limits<std::uintptr_t>::max();
using Addresses = std::vector<std::uintptr_t>;
std::uintptr_t Addr(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }
std::uintptr_t FunctionAddress(int (*function)()) { return reinterpret_cast<std::uintptr_t>(function); }

TEST(TrampolineSearch, WindowAndDisplacementReachTwoGigabytesEitherWay) {
  const struct {
    std::uintptr_t hint;
    std::uint64_t granularity;
    std::uintptr_t lowest, highest;
  } cases[] = {
      {0x7FFFFFFF, kGranularity, 0, 0xFFFF0000},                       // below 2 GiB: from address 0
      {0x80000000, kGranularity, 0, 0x100000000},                      // already aligned
      {0x7FF712345678, kGranularity, 0x7FF692350000, 0x7FF792340000},  // aligned inwards
      {0xFFFFFFFF7FFFFFFE, kGranularity, 0xFFFFFFFF00000000, 0xFFFFFFFFFFFF0000},
      {0xFFFFFFFF7FFFFFFF, kGranularity, 0xFFFFFFFF00000000, kTop},  // hint + 2 GiB would overflow
      {kTop, kGranularity, 0xFFFFFFFF80000000, kTop},
      {0x7FF712345678, 0, 0, 0},
      {kTop, 0, 0, kTop},
  };
  for (const auto& c : cases) {
    const auto window = SFSE::TrampolineSearchWindow(c.hint, c.granularity);
    EXPECT_EQ(window.lowest, c.lowest) << std::hex << c.hint << " / " << c.granularity;
    EXPECT_EQ(window.highest, c.highest) << std::hex << c.hint << " / " << c.granularity;
  }

  const std::uintptr_t next = 0x7FF700001000;
  EXPECT_EQ(SFSE::Rel32Displacement(next - 0x80000000, next), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(SFSE::Rel32Displacement(next + 0x7FFFFFFF, next), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(SFSE::Rel32Displacement(next + 0x80000000, next), std::nullopt);
  EXPECT_EQ(SFSE::Rel32Displacement(next - 0x80000001, next), std::nullopt);
  EXPECT_EQ(SFSE::Rel32Displacement(next + 0x100000010, next), std::nullopt);  // low 32 bits alone look near
  EXPECT_EQ(SFSE::Rel32Displacement(0x10000, next), std::nullopt);
}

// An address space of listed regions; a query outside them fails.
struct FakeAddressSpace {
  std::vector<SFSE::MemoryRegion> regions;
  std::uintptr_t refused = 0;
  Addresses queried, reserved;

  void* Find(const SFSE::SearchWindow& window) {
    const auto query = [this](std::uintptr_t address) -> std::optional<SFSE::MemoryRegion> {
      queried.push_back(address);
      for (const auto& r : regions)
        if (address >= r.base && address - r.base < r.size) return r;
      return std::nullopt;
    };
    const auto reserve = [this](std::uintptr_t address, std::size_t size) -> void* {
      reserved.push_back(address);
      EXPECT_EQ(size, 256u);
      return address == refused ? nullptr : reinterpret_cast<void*>(address);
    };
    return SFSE::FindFreeBlock(window, kGranularity, 256, query, reserve);
  }
};

TEST(TrampolineSearch, FindFreeBlockTakesTheFirstAlignedFreeSpotThatFits) {
  FakeAddressSpace space;
  space.regions = {
      {0x00000, 0x10000, false}, {0x10000, 0x000FF, true},  // one byte too small
      {0x100FF, 0x0FF01, false}, {0x20000, 0x10000, true},  // the reserve fails here
      {0x30000, 0x00010, false}, {0x30010, 0x0FFE0, true},  // aligned up, it starts past its own end
      {0x3FFF0, 0x00020, false}, {0x40010, 0x100EF, true},  // aligned up to 0x50000, one byte too small
      {0x500FF, 0x00001, false}, {0x50100, 0x10000, true},  // aligned up to 0x60000, exactly 256 bytes
      {0x60100, 0x10000, true},
  };
  space.refused = 0x20000;
  EXPECT_EQ(space.Find(SFSE::TrampolineSearchWindow(0x40000000, kGranularity)), reinterpret_cast<void*>(0x60000));
  EXPECT_EQ(space.queried,
            (Addresses{0, 0x10000, 0x100FF, 0x20000, 0x30000, 0x30010, 0x3FFF0, 0x40010, 0x500FF, 0x50100}));
  EXPECT_EQ(space.reserved, (Addresses{0x20000, 0x60000}));

  // Busy up to the window's top: the free region that starts there is not searched.
  const auto window = SFSE::TrampolineSearchWindow(0x7FF712345678, kGranularity);
  const std::uintptr_t gig = 0x40000000, low = window.lowest;
  FakeAddressSpace busy;
  busy.regions = {{low, gig, false},
                  {low + gig, gig, false},
                  {low + 2 * gig, gig, false},
                  {low + 3 * gig, window.highest - low - 3 * gig, false},
                  {window.highest, gig, true}};
  EXPECT_EQ(busy.Find(window), nullptr);
  EXPECT_EQ(busy.queried, (Addresses{low, low + gig, low + 2 * gig, low + 3 * gig}));
  EXPECT_TRUE(busy.reserved.empty());

  // A failed query ends the search, free space beyond it or not.
  FakeAddressSpace broken;
  broken.regions = {{0, 0x10000, false}, {0x20000, 0x10000, true}};
  EXPECT_EQ(broken.Find({0, 0x100000}), nullptr);
  EXPECT_EQ(broken.queried, (Addresses{0, 0x10000}));
  EXPECT_TRUE(broken.reserved.empty());
}

TEST(Trampoline, CreateReservesExecutableMemoryWithinReachOfTheGamesCode) {
  const auto& text = REL::Module::Game().segment(REL::SegmentName::textx);
  ASSERT_NE(text.size, 0u);
  const std::uintptr_t hint = text.address + text.size;
  MEMORY_BASIC_INFORMATION info{};
  const std::uint8_t* data = nullptr;
  {
    SFSE::Trampoline trampoline("Near");
    trampoline.create(256, hint);
    data = static_cast<const std::uint8_t*>(trampoline.data());
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(SFSE::Rel32Displacement(Addr(data), hint) && SFSE::Rel32Displacement(Addr(data + 256), hint));
    EXPECT_EQ(Addr(data) % kGranularity, 0u);
    EXPECT_EQ(std::count(data, data + 256, 0xCC), 256);
    ASSERT_NE(VirtualQuery(data, &info, sizeof(info)), 0u);
    EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_EXECUTE_READWRITE));
  }
  // Pages it reserved itself go back to the system with it.
  ASSERT_NE(VirtualQuery(data, &info, sizeof(info)), 0u);
  EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE));
}

// Two pages: the trampoline's block, then "game code".
struct TestMemory {
  std::uint8_t* const block =
      static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 0x2000, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
  std::uint8_t* const code = block + 0x1000;
  ~TestMemory() { VirtualFree(block, 0, MEM_RELEASE); }
};

// sub rsp,28h; call rel32; add rsp,28h; ret: a game function whose call at +4 gets patched.
constexpr std::uint8_t kStub[16] = {0x48, 0x83, 0xEC, 0x28, 0xE8, 0, 0, 0, 0, 0x48, 0x83, 0xC4, 0x28, 0xC3, 0xCC, 0xCC};
constexpr std::size_t kCallAt = 4;

int FirstHook() { return 7; }
int SecondHook() { return 11; }
std::uintptr_t CallTarget(const std::uint8_t* call) {
  std::int32_t displacement = 0;
  std::memcpy(&displacement, call + 1, 4);
  return Addr(call) + 5 + displacement;
}
// FF 25 00000000, then the destination.
std::vector<std::uint8_t> Slot(std::uintptr_t destination) {
  std::vector<std::uint8_t> slot = {0xFF, 0x25, 0, 0, 0, 0};
  for (int i = 0; i < 8; ++i) slot.push_back(static_cast<std::uint8_t>(destination >> (8 * i)));
  return slot;
}

TEST(Trampoline, PatchedCallsReachTheirDestinationThroughSharedSlots) {
  TestMemory memory;
  ASSERT_NE(memory.block, nullptr);
  for (int i = 0; i < 3; ++i) std::memcpy(memory.code + 16 * i, kStub, sizeof(kStub));
  DWORD previous = 0;
  ASSERT_TRUE(VirtualProtect(memory.code, 0x1000, PAGE_EXECUTE_READ, &previous));  // as the game's code is
  const auto call = [&](int stub) { return memory.code + 16 * stub + kCallAt; };
  const auto run = [&](int stub) { return reinterpret_cast<int (*)()>(memory.code + 16 * stub)(); };
  const auto slotAt = [](const std::uint8_t* slot) { return std::vector<std::uint8_t>(slot, slot + 14); };
  const auto first = reinterpret_cast<std::uintptr_t>(&FirstHook);
  const auto second = reinterpret_cast<std::uintptr_t>(&SecondHook);

  test::LogCapture log;
  SFSE::Trampoline trampoline("Test Trampoline");
  trampoline.set_trampoline(memory.block, 256);
  EXPECT_EQ(std::count(memory.block, memory.block + 256, 0xCC), 256);

  trampoline.write_5branch(Addr(call(0)), first);
  std::memset(memory.block, 0xCC, 14);  // a reused slot is written again
  trampoline.write_5branch(Addr(call(1)), first);
  EXPECT_EQ(trampoline.allocated_size(), 14u);
  for (int stub : {0, 1}) {
    EXPECT_EQ(call(stub)[0], 0xE8);
    EXPECT_EQ(CallTarget(call(stub)), Addr(memory.block));
    EXPECT_EQ(std::memcmp(call(stub) + 5, kStub + kCallAt + 5, sizeof(kStub) - kCallAt - 5), 0) << "beyond the call";
  }
  EXPECT_EQ(slotAt(memory.block), Slot(first));
  EXPECT_EQ(std::count(memory.block + 14, memory.block + 256, 0xCC), 256 - 14);
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_NE(VirtualQuery(memory.code, &info, sizeof(info)), 0u);
  EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_TRUE(log.lines().empty()) << "the stats are debug lines";

  // At debug level the line is there: filtered by the logger's level, not compiled out.
  spdlog::default_logger()->set_level(spdlog::level::debug);
  trampoline.log_stats();
  EXPECT_EQ(log.lines(), std::vector<std::string>{"debug|Test Trampoline => 14B / 256B (05.47%)"});
  log.clear();
  trampoline.write_5branch(Addr(call(2)), second);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"debug|Test Trampoline => 28B / 256B (10.94%)"});
  EXPECT_EQ(CallTarget(call(2)), Addr(memory.block) + 14);
  EXPECT_EQ(slotAt(memory.block + 14), Slot(second));
  EXPECT_EQ((std::vector{run(0), run(1), run(2)}), (std::vector{7, 7, 11}));

  // Redirecting a call hands back where it went; a site that holds no call is left as it is.
  std::uint8_t* const stub3 = memory.code + 16 * 3;
  ASSERT_TRUE(VirtualProtect(memory.code, 0x1000, PAGE_EXECUTE_READWRITE, &previous));
  std::memcpy(stub3, kStub, sizeof(kStub));
  stub3[kCallAt] = 0xE9;  // another mod's jump
  ASSERT_TRUE(VirtualProtect(memory.code, 0x1000, PAGE_EXECUTE_READ, &previous));
  const std::vector<std::uint8_t> before(stub3, stub3 + sizeof(kStub));
  EXPECT_EQ(trampoline.patch_call(Addr(stub3 + kCallAt), first).result, SFSE::CallPatch::kNotACall);
  EXPECT_EQ(std::vector<std::uint8_t>(stub3, stub3 + sizeof(kStub)), before);
  const auto originalTarget = CallTarget(call(2));
  const auto patched = trampoline.patch_call(Addr(call(2)), first);
  EXPECT_EQ(patched.result, SFSE::CallPatch::kPatched);
  EXPECT_EQ(patched.previousTarget, originalTarget);
  EXPECT_EQ(run(2), 7);

  // Code whose protection cannot change is not written, and the write says so.
  void* reserved = VirtualAlloc(nullptr, 0x1000, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(reserved, nullptr);
  EXPECT_FALSE(trampoline.write_5branch(Addr(reserved), first));
  VirtualFree(reserved, 0, MEM_RELEASE);
}

// A child's trampoline over a block of its own; the fatal report ends the child.
void PatchInChild(void (*patches)(SFSE::Trampoline&, const TestMemory&)) {
  SFSE::log::init();
  TestMemory memory;
  SFSE::Trampoline trampoline("Child Trampoline");
  trampoline.set_trampoline(memory.block, 256);
  patches(trampoline, memory);
}

CHILD_ACTION(TrampolineNineteenthDestination) {
  PatchInChild([](SFSE::Trampoline& trampoline, const TestMemory& memory) {
    for (std::uintptr_t i = 0; i < 18; ++i) trampoline.write_5branch(Addr(memory.code), 0x10000 + i);
    trampoline.write_5branch(Addr(memory.code), 0x10000);  // a full block still serves a known destination
    std::fprintf(stderr, "after 18: %zu\n", trampoline.allocated_size());
    std::fflush(stderr);
    trampoline.write_5branch(Addr(memory.code), 0x20000);
  });
}

CHILD_ACTION(TrampolineSlotOutOfReach) {
  PatchInChild([](SFSE::Trampoline& trampoline, const TestMemory& memory) {
    // The slot lands at the block's start, 2^31 + 1 bytes behind the call's end; nothing may be written there.
    trampoline.write_5branch(Addr(memory.block) + 0x80000000 - 4, 0x10000);
  });
}

void ExpectFatal(const char* action, const std::string& message, const std::string& output) {
  test::RemovePluginLog();
  const auto child = test::RunChild(action);
  EXPECT_FALSE(child.timedOut) << action;
  EXPECT_EQ(child.exitCode, 1u) << action << ": " << child.output;
  EXPECT_NE(child.output.find(output), std::string::npos) << child.output;
  const auto entries = test::LogEntries(test::ReadPluginLog());
  EXPECT_NE(std::ranges::find(entries, "critical|" + message), entries.end()) << test::ReadPluginLog();
}

TEST(Trampoline, AFullBlockOrASlotOutOfReachIsFatal) {
  ExpectFatal("TrampolineNineteenthDestination", "Failed to handle allocation request", "after 18: 252");
  ExpectFatal("TrampolineSlotOutOfReach", "displacement is out of range", "");
}

}  // namespace

namespace {

// Two displacements, written back and forth at every offset of a 16-byte line while another thread
// reads the aligned words: where the instruction, or its displacement, lies inside one word, no read
// ever sees half of a write. Elsewhere the write is the four bytes alone, and the opcode never changes.
TEST(Trampoline, ACallIsRetargetedWithoutATornInstruction) {
  alignas(16) static std::uint8_t line[32];
  constexpr std::int32_t kA = 0x11223344, kB = -0x55667788;
  for (std::size_t offset = 0; offset < 16; ++offset) {
    SCOPED_TRACE(offset);
    std::memset(line, 0x90, sizeof(line));
    const auto site = Addr(line + offset);
    const SFSE::RelativeCall a{0xE8, kA}, b{0xE8, kB};
    std::memcpy(line + offset, &a, sizeof(a));
    // Which word the write must land in whole: the instruction's, else the displacement's.
    const std::size_t fieldStart = offset % 8 + 5 <= 8 ? offset : offset + 1;
    const std::size_t fieldSize = offset % 8 + 5 <= 8 ? 5 : 4;
    const bool oneWord = fieldStart % 8 + fieldSize <= 8;

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
      const auto* word = reinterpret_cast<const volatile std::int64_t*>(line + (fieldStart & ~std::size_t{7}));
      while (!done) {
        const std::int64_t seen = *word;
        std::uint8_t bytes[8];
        std::memcpy(bytes, &seen, 8);
        const auto* field = bytes + fieldStart % 8;
        if (std::memcmp(field, reinterpret_cast<const std::uint8_t*>(&a) + (5 - fieldSize), fieldSize) != 0 &&
            std::memcmp(field, reinterpret_cast<const std::uint8_t*>(&b) + (5 - fieldSize), fieldSize) != 0)
          ++torn;
      }
    });
    for (int i = 0; i < 20'000; ++i) {
      ASSERT_TRUE(SFSE::RetargetRelativeCall(site, i % 2 ? b : a, i % 2 ? kA : kB));
    }
    done = true;
    reader.join();
    if (oneWord) {
      EXPECT_EQ(torn, 0);
    }
    EXPECT_EQ(std::memcmp(line + offset, &a, sizeof(a)), 0);
    EXPECT_EQ(std::count(line, line + sizeof(line), 0x90), static_cast<std::ptrdiff_t>(sizeof(line) - 5));
    // A site that no longer holds what the caller read is left to whoever changed it.
    EXPECT_FALSE(SFSE::RetargetRelativeCall(site, b, kA));
    EXPECT_EQ(std::memcmp(line + offset, &a, sizeof(a)), 0);
  }
}

std::atomic<std::uintptr_t> forwardTargets[8];
thread_local int callingStub = 0;
// A hook that hands over to the call's saved target, as the plug-in's hooks do.
int ForwardingHook() {
  return reinterpret_cast<int (*)()>(forwardTargets[callingStub].load(std::memory_order_acquire))() + 100;
}

// A group is patched whole or not at all; each call's previous target is stored before its site is
// written, while a game thread keeps running through the site.
TEST(Trampoline, AGroupOfCallsIsPatchedWholeOrNotAtAllWithTargetsStoredFirst) {
  TestMemory memory;
  ASSERT_NE(memory.block, nullptr);
  // The game's own target, within a call's reach: mov eax, 7; ret.
  std::uint8_t* const gameTarget = memory.block + 0x800;
  const std::uint8_t returnSeven[] = {0xB8, 7, 0, 0, 0, 0xC3};
  std::memcpy(gameTarget, returnSeven, sizeof(returnSeven));
  for (int i = 0; i < 8; ++i) {
    std::memcpy(memory.code + 16 * i, kStub, sizeof(kStub));
    const auto displacement = static_cast<std::int32_t>(Addr(gameTarget) - Addr(memory.code + 16 * i + kCallAt + 5));
    std::memcpy(memory.code + 16 * i + kCallAt + 1, &displacement, 4);
  }
  memory.code[16 * 7 + kCallAt] = 0xE9;  // another mod's jump
  DWORD previous = 0;
  ASSERT_TRUE(VirtualProtect(memory.code, 0x1000, PAGE_EXECUTE_READ, &previous));
  const auto site = [&](int stub) { return Addr(memory.code + 16 * stub + kCallAt); };
  const auto run = [&](int stub) { return reinterpret_cast<int (*)()>(memory.code + 16 * stub)(); };
  SFSE::Trampoline trampoline("Group Trampoline");
  trampoline.set_trampoline(memory.block, 256);
  const auto hook = FunctionAddress(&ForwardingHook);

  const SFSE::CallRedirect refused[] = {{site(0), hook, &forwardTargets[0]}, {site(7), hook, &forwardTargets[7]}};
  const auto results = trampoline.patch_calls(refused);
  EXPECT_EQ(results[0].result, SFSE::CallPatch::kNotAttempted);
  EXPECT_EQ(results[1].result, SFSE::CallPatch::kNotACall);
  EXPECT_EQ(forwardTargets[0], 0u);
  EXPECT_EQ(CallTarget(memory.code + kCallAt), Addr(gameTarget)) << "the good site of the group is left alone";

  for (int stub = 0; stub < 6; stub += 2) {
    SCOPED_TRACE(stub);
    std::atomic<bool> done{false};
    std::atomic<int> wrong{0}, calls{0};
    std::thread game([&] {
      callingStub = stub;
      while (!done) {
        const int result = run(stub);
        if (result != 7 && result != 107) ++wrong;
        ++calls;
      }
    });
    while (calls < 100) std::this_thread::yield();
    const SFSE::CallRedirect pair[] = {{site(stub), hook, &forwardTargets[stub]},
                                       {site(stub + 1), hook, &forwardTargets[stub + 1]}};
    const auto patched = trampoline.patch_calls(pair);
    const int at = calls;
    while (calls < at + 100) std::this_thread::yield();
    done = true;
    game.join();
    EXPECT_EQ(wrong, 0);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(patched[i].result, SFSE::CallPatch::kPatched);
      EXPECT_EQ(patched[i].previousTarget, Addr(gameTarget));
      EXPECT_EQ(forwardTargets[stub + i], Addr(gameTarget));
      callingStub = stub + i;
      EXPECT_EQ(run(stub + i), 107);
    }
  }
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_NE(VirtualQuery(memory.code, &info, sizeof(info)), 0u);
  EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ)) << "two sites on one page get its protection back";
}

}  // namespace
