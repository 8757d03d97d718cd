// A city's drawn databases: each draw must give exactly what taking element r of the list as it stands
// and erasing the first copy of it gives, for any list and any sequence of positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "Main/Cities/DrawPool.h"
#include "RE/B/BGSKeyword.h"

namespace {

// The list as the draws were first written: element r taken, the first equal element erased.
template <class T>
T TakeFromVector(std::vector<T>& list, std::size_t r) {
  T entry = list[r];
  list.erase(std::find(list.begin(), list.end(), entry));
  return entry;
}

// Many lists of many duplicates, drawn from to the end and refilled midway, side by side.
template <class T, class Make>
void CompareWithTheVector(Make make) {
  std::mt19937 random(20261211);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    const auto size = std::uniform_int_distribution<std::size_t>(1, round < 250 ? 40 : 3000)(random);
    const auto distinct = std::uniform_int_distribution<int>(1, round % 3 == 0 ? 3 : 200)(random);
    std::vector<T> list;
    DrawPool<T> pool;
    const auto fill = [&](std::size_t count) {
      for (std::size_t i = 0; i < count; ++i) {
        list.push_back(make(std::uniform_int_distribution<int>(0, distinct - 1)(random)));
        pool.push_back(list.back());
      }
    };
    fill(size);
    bool refilled = false;
    while (!list.empty()) {
      ASSERT_EQ(pool.size(), list.size());
      const auto r = std::uniform_int_distribution<std::size_t>(0, list.size() - 1)(random);
      ASSERT_EQ(pool.TakeAt(r), TakeFromVector(list, r)) << "position " << r << " of " << list.size() + 1;
      if (!refilled && list.size() == size / 2) {
        refilled = true;  // entries added between draws go behind the ones left
        ASSERT_EQ(pool.Entries(), list);
        fill(size / 3 + 1);
      }
    }
    EXPECT_TRUE(pool.empty());
    EXPECT_TRUE(pool.Entries().empty());
  }
}

}  // namespace

TEST(DrawPool, DrawsWhatErasingTheFirstCopyFromTheVectorDraws) {
  CompareWithTheVector<std::string>([](int value) { return "Name" + std::to_string(value * 7919 % 1000); });
  std::vector<RE::BGSKeyword> keywords(200);
  CompareWithTheVector<RE::BGSKeyword*>([&](int value) { return &keywords[static_cast<std::size_t>(value)]; });
}

TEST(DrawPool, ClearAndAssignStartOver) {
  DrawPool<std::string> pool;
  pool.assign(3, "Ada");
  pool.push_back("Bea");
  EXPECT_EQ(pool.TakeAt(3), "Bea");
  EXPECT_EQ(pool.TakeAt(1), "Ada");
  EXPECT_EQ(pool.Entries(), (std::vector<std::string>{"Ada", "Ada"}));
  pool.clear();
  EXPECT_TRUE(pool.empty());
  pool.push_back("Cyd");
  EXPECT_EQ(pool.Entries(), std::vector<std::string>{"Cyd"});
  EXPECT_EQ(pool.TakeAt(0), "Cyd");
  EXPECT_TRUE(pool.empty());
}
