#pragma once
// A random stream of what the game and a player do to the plug-in in an evening of play, as
// scenario lines: travel between the cities, citizens spawned, moved and freed, menus, loads,
// resets, the console, and an author editing the data files while the game runs. Each line is drawn
// from the game's state as it stands, so that every line is one the game can follow.
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace sim {

class SoakEvents {
 public:
  // dataFolder: the plug-in's data folder in the game folder, as laid out (its files are the
  // material the author works with).
  SoakEvents(std::uint64_t seed, const std::filesystem::path& dataFolder);

  // The lines that set the game up and start it, with threads game threads on the appearance function.
  std::vector<std::string> Opening(int threads);
  std::string Next();

 private:
  std::string Travel();
  std::string CellEvent();
  std::string Wait();
  std::string Spawn();
  std::string MoveActor();
  std::string FreeActor();
  std::string Menu();
  std::string Load();
  std::string Console();
  std::string Author();
  std::string AuthorUniqueNPC();
  std::string Logging();

  int Roll(int below) { return static_cast<int>(random_() % static_cast<std::uint64_t>(below)); }
  template <class T>
  const T& Pick(const std::vector<T>& items) {
    return items[random_() % items.size()];
  }
  std::string FormLinesFor(const std::string& database, int count);
  std::string Encoded(std::string text);
  std::string LiveActorID();

  std::mt19937_64 random_;
  std::filesystem::path data_;
  int city_ = 0;  // the city the player is in, 0 outside
  std::set<std::string> openMenus_;
  std::deque<std::string> queued_;                        // lines that must follow the last one
  std::map<std::string, std::vector<std::string>> pool_;  // lines of the shipped files, by database
  std::map<std::string, std::string> shipped_;            // shipped city files by relative path: their text
  std::vector<std::string> uniqueNPCFiles_;               // shipped ones' names, without ".ini"
  std::map<std::string, std::string> soakFiles_;          // the author's own files: relative path -> text
  std::set<std::string> appearancesUsed_;
  std::vector<std::string> freeAppearances_;
  int nextFile_ = 1;
};

}  // namespace sim
