// The plug-in's table of game IDs against the game's own list, which the stand-in writes its address
// library from: a mistyped number in the plug-in is found here by name, before any scenario.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "GameIDs.h"
#include "RE/IDs.h"

namespace {

TEST(GameIDs, EveryIDThePluginUsesIsTheGamesNumberForThatName) {
  std::set<std::uint64_t> pluginIDs;
  for (const auto& plugin : RE::ID::kAll) {
    SCOPED_TRACE(plugin.name);
    const auto game = std::ranges::find_if(
        sim::game_id::kAll, [&](const sim::game_id::Named& named) { return std::string(named.name) == plugin.name; });
    ASSERT_NE(game, std::end(sim::game_id::kAll)) << "the game has nothing of that name";
    EXPECT_EQ(plugin.id, game->id);
    EXPECT_TRUE(pluginIDs.insert(plugin.id).second) << "another name has the same number";
  }
}

}  // namespace
