#include "SoakEvents.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include <fmt/format.h>

#include "Actors.h"
#include "Cells.h"
#include "CityDataRules.h"
#include "GameForms.h"
#include "GameWorld.h"
#include "ProcessLists.h"
#include "Text.h"

namespace sim {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDatabases[] = {"FemaleFaceNPCs", "MaleFaceNPCs", "FemaleClothing",  "MaleClothing",
                                      "FemaleAnims",    "MaleAnims",    "FemaleVoices",    "MaleVoices",
                                      "FemaleNames",    "MaleNames",    "FemaleLastNames", "MaleLastNames",
                                      "EncounterPoints"};
constexpr const char* kMenus[] = {"LoadingMenu", "FaderMenu",          "PauseMenu",
                                  "MainMenu",    "EndGameCreditsMenu", "InventoryMenu"};
constexpr std::size_t kMostLiveActors = 250;
constexpr std::size_t kMostAuthorFiles = 40;
constexpr std::size_t kLongLine = 5000;

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// The database a file of a city folder feeds: the longest name it starts with.
std::string DatabaseOfFile(const std::string& fileName) {
  std::string found;
  for (const char* database : kDatabases)
    if (Lower(fileName).starts_with(Lower(database)) && std::string(database).size() > found.size()) found = database;
  return found;
}

// A form line without its comment and blanks, as a value in a unique NPC file.
std::string FormValue(const std::string& line) {
  auto value = line.substr(0, line.find(';'));
  value.erase(value.find_last_not_of(" \t") + 1);
  return value;
}

std::vector<RE::Actor*> LiveRuntimeActors() {
  std::vector<RE::Actor*> actors;
  for (auto* actor : ActorsInProcessLists())
    if (actor != Player() && actor->formID >= 0xFF000000 && !(actor->formFlags & RE::TESForm::kDeleted))
      actors.push_back(actor);
  std::sort(actors.begin(), actors.end(), [](auto* a, auto* b) { return a->formID < b->formID; });
  return actors;
}

}  // namespace

SoakEvents::SoakEvents(std::uint64_t seed, const fs::path& dataFolder) : random_(seed), data_(dataFolder) {
  std::set<std::string> shippedAppearances;
  for (const auto& city : kCities) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(data_ / city.name, error)) {
      const auto name = PathText(entry.path().filename());
      const auto database = DatabaseOfFile(name);
      if (database.empty() || entry.path().extension() != ".txt") continue;
      const auto text = ReadText(entry.path());
      shipped_[std::string(city.name) + "/" + name] = text;
      for (const auto& line : LinesOf(text)) pool_[database].push_back(line);
    }
  }
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(data_ / "UniqueNPCs", error)) {
    if (entry.path().extension() != ".ini") continue;
    uniqueNPCFiles_.push_back(PathText(entry.path().stem()));
    for (const auto& line : LinesOf(ReadText(entry.path())))
      if (line.starts_with("iAppearance=")) shippedAppearances.insert(FormValue(line.substr(12)));
  }
  for (const char* faces : {"FemaleFaceNPCs", "MaleFaceNPCs"})
    for (const auto& line : pool_[faces])
      if (const auto value = FormValue(line);
          !value.empty() && !shippedAppearances.contains(value) &&
          std::find(freeAppearances_.begin(), freeAppearances_.end(), value) == freeAppearances_.end())
        freeAppearances_.push_back(value);
}

std::vector<std::string> SoakEvents::Opening(int threads) {
  // The cell-change gate opens after a tenth of a second, so that waits can open and close it.
  return {"ini Settings.ini General iAllowedCellChangeTime 100",
          fmt::format("ini Settings.ini Debug bLogging {}", Roll(2)),
          "start",
          fmt::format("appearance-threads {}", threads),
          "load-save",
          "wait 0"};
}

std::string SoakEvents::Next() {
  if (!queued_.empty()) {
    auto line = queued_.front();
    queued_.pop_front();
    return line;
  }
  using Draw = std::string (SoakEvents::*)();
  static constexpr struct {
    int weight;
    Draw draw;
  } kKinds[] = {{180, &SoakEvents::Wait},
                {60, &SoakEvents::Travel},
                {60, &SoakEvents::CellEvent},
                {100, &SoakEvents::Spawn},
                {40, &SoakEvents::MoveActor},
                {50, &SoakEvents::FreeActor},
                {60, &SoakEvents::Menu},
                {25, &SoakEvents::Load},
                {80, &SoakEvents::Console},
                {60, &SoakEvents::Author},
                {25, &SoakEvents::AuthorUniqueNPC},
                {10, &SoakEvents::Logging}};
  static const int total = [] {
    int sum = 0;
    for (const auto& kind : kKinds) sum += kind.weight;
    return sum;
  }();
  int roll = Roll(total);
  for (const auto& kind : kKinds) {
    if (roll < kind.weight) return (this->*kind.draw)();
    roll -= kind.weight;
  }
  return Wait();
}

std::string SoakEvents::Wait() {
  const int roll = Roll(100);
  const int ms = roll < 70 ? Roll(6) : roll < 90 ? 10 + Roll(50) : 150 + Roll(150);
  return fmt::format("wait {}", ms);
}

std::string SoakEvents::Travel() {
  if (city_ && Roll(10) < 3) {
    city_ = 0;
    return "leave";
  }
  city_ = 1 + Roll(4);
  return fmt::format("enter {}", kCities[city_ - 1].name);
}

// The player's actor changes cell only into the cell the player is in; cells around load any time.
std::string SoakEvents::CellEvent() {
  const auto* here = city_ ? CityCell(city_) : OutsideCell();
  if (Roll(2)) return fmt::format("cell-change {:X}", here->formID);
  const auto* cell = Roll(3) ? here : Roll(2) ? OutsideCell() : CityCell(1 + Roll(4));
  return fmt::format("cell-loaded {:X}", cell->formID);
}

std::string SoakEvents::Spawn() {
  if (LiveRuntimeActors().size() > kMostLiveActors) return FreeActor();
  const int city = city_ && Roll(5) ? city_ : 1 + Roll(4);
  return fmt::format("spawn {} {}", kCities[city - 1].name, 1 + Roll(10));
}

std::string SoakEvents::LiveActorID() {
  const auto actors = LiveRuntimeActors();
  return actors.empty() ? std::string() : fmt::format("{:X}", Pick(actors)->formID);
}

std::string SoakEvents::MoveActor() {
  const auto id = LiveActorID();
  if (id.empty()) return Wait();
  const auto* player = Player();
  return fmt::format("move {} {:.1f} {:.1f} {:.1f}", id, player->position.x + Roll(600) - 300.0f,
                     player->position.y + Roll(600) - 300.0f, player->position.z);
}

std::string SoakEvents::FreeActor() {
  const auto id = LiveActorID();
  if (id.empty()) return Wait();
  return fmt::format("free {}{}", id, Roll(2) ? " reuse" : "");
}

std::string SoakEvents::Menu() {
  const std::string name = kMenus[Roll(std::size(kMenus))];
  if (openMenus_.erase(name)) return "menu close " + name;
  openMenus_.insert(name);
  return "menu open " + name;
}

// A save loaded behind the loading menu, now and then reset at once.
std::string SoakEvents::Load() {
  if (openMenus_.contains("LoadingMenu") || Roll(3) == 0) return Roll(4) ? "load-save" : "reset";
  openMenus_.insert("LoadingMenu");
  queued_.push_back("load-save");
  if (Roll(3) == 0) queued_.push_back("reset");
  queued_.push_back("menu close LoadingMenu");
  openMenus_.erase("LoadingMenu");
  return "menu open LoadingMenu";
}

std::string SoakEvents::Console() {
  static const std::vector<std::string> kInvalid = {"",
                                                    "0 0",
                                                    "7 0",
                                                    "10 0",
                                                    "x y",
                                                    "2 0",
                                                    "2 zz Ann Lee",
                                                    "8 0",
                                                    "-3 0",
                                                    "99999999999999999999 0",
                                                    "1",
                                                    "5 0 and more words",
                                                    "4",
                                                    "3 0 0 0",
                                                    "9 zz"};
  std::string words;
  switch (Roll(12)) {
    case 0: words = "1 0"; break;
    case 1: {
      const auto id = LiveActorID();
      words = fmt::format("2 {} {} {}", id.empty() ? "FF000800" : id, Roll(2) ? "Ann" : "Bo", Roll(2) ? "Lee" : "Ng");
      break;
    }
    case 2: words = "3 0"; break;
    case 3: words = "4 0"; break;
    case 4: words = "5 0"; break;
    case 5: words = "6 0"; break;
    case 6: words = "8 0 " + (uniqueNPCFiles_.empty() ? std::string("Nobody") : Pick(uniqueNPCFiles_)); break;
    case 7: words = "8 0 NoSuchCharacter"; break;
    case 8: words = "9 0"; break;
    default: words = Pick(kInvalid); break;
  }
  return "console QuillmereCode " + words;
}

std::string SoakEvents::FormLinesFor(const std::string& database, int count) {
  const auto& pool = pool_[database];
  std::string text;
  for (int i = 0; i < count; ++i) {
    const int roll = Roll(100);
    if (roll < 8)
      text += "\n";  // a blank line
    else if (roll < 11)
      text += std::string(kLongLine, 'F') + "_Starfield.esm\n";
    else if (roll < 16)
      text += database.ends_with("Names") ? "; not a comment in a names file\n" : "00FFFFF0_Starfield.esm\n";
    else if (roll < 19)
      text += "; the author's note\n";
    else if (!pool.empty())
      text += Pick(pool) + "\n";
  }
  return text;
}

// The text as an editor may save it: LF or CRLF, with or without a byte order mark, now and then
// as UTF-16.
std::string SoakEvents::Encoded(std::string text) {
  if (Roll(2)) {
    std::string crlf;
    for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    text = crlf;
  }
  const int roll = Roll(20);
  if (roll == 0) {
    const auto wide = WideFromUtf8(text);
    std::string bytes = "\xFF\xFE";
    for (const wchar_t c : wide) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return EncodeEscapes(bytes);
  }
  if (roll < 6) text = "\xEF\xBB\xBF" + text;
  return EncodeEscapes(text);
}

std::string SoakEvents::Author() {
  const int roll = Roll(10);
  if (roll < 4 && soakFiles_.size() < kMostAuthorFiles) {  // a new file of a city
    const std::string city = kCities[Roll(4)].name;
    const std::string database = kDatabases[Roll(std::size(kDatabases))];
    const auto path = fmt::format("{}/{}_Author{}.txt", city, database, nextFile_++);
    const auto text = FormLinesFor(database, 1 + Roll(database.ends_with("FaceNPCs") ? 6 : 20));
    soakFiles_[path] = text;
    return fmt::format("write-file {} {}", path, Encoded(text));
  }
  if (roll < 6 && !shipped_.empty()) {  // a shipped file with lines added
    auto it = shipped_.begin();
    std::advance(it, Roll(static_cast<int>(shipped_.size())));
    const auto database = DatabaseOfFile(it->first.substr(it->first.find('/') + 1));
    return fmt::format("write-file {} {}", it->first, Encoded(it->second + FormLinesFor(database, 1 + Roll(5))));
  }
  if (soakFiles_.empty()) return Wait();
  auto it = soakFiles_.begin();
  std::advance(it, Roll(static_cast<int>(soakFiles_.size())));
  const auto path = it->first;
  if (roll < 8) {
    soakFiles_.erase(it);
    return "remove-file " + path;
  }
  // Renamed: to another database of the same folder, or out of every database's reach.
  const auto folder = path.substr(0, path.find('/'));
  const auto renamed =
      Roll(3) ? fmt::format("{}/{}_Author{}.txt", folder, kDatabases[Roll(std::size(kDatabases))], nextFile_++)
              : fmt::format("{}/Author{}.txt.bak", folder, nextFile_++);
  auto text = it->second;
  soakFiles_.erase(it);
  if (folder == "UniqueNPCs" && renamed.ends_with(".txt")) return "remove-file " + path;
  soakFiles_[renamed] = text;
  return fmt::format("rename-file {} {}", path, renamed);
}

std::string SoakEvents::AuthorUniqueNPC() {
  const int roll = Roll(10);
  if (roll < 4 && !freeAppearances_.empty() && soakFiles_.size() < kMostAuthorFiles) {
    const auto appearance = freeAppearances_.back();
    freeAppearances_.pop_back();
    const auto name = fmt::format("AuthorNPC{}", nextFile_++);
    const auto value = [&](const char* database) {
      const auto& pool = pool_[database];
      return pool.empty() ? std::string() : FormValue(Pick(pool));
    };
    const std::string city = kCities[Roll(4)].name;
    auto text = fmt::format(
        "; {} as an author writes it\n[Character]\nsName=Visitor {}\niAppearance={}\niFacialAnim={}\n"
        "iVoiceType={}\nfHeight=1.0{}\n\n[{}]\niEncounterChance=50\niClothing={}\n",
        name, nextFile_, appearance, value("MaleAnims"), value("MaleVoices"), Roll(10), city, value("MaleClothing"));
    const auto path = "UniqueNPCs/" + name + ".ini";
    soakFiles_[path] = text;
    uniqueNPCFiles_.push_back(name);
    if (Roll(4) == 0) text = text.substr(0, text.size() / 2);  // caught half-way through a save
    queued_.push_back("console QuillmereCode 8 0 " + name);
    return fmt::format("write-file {} {}", path, Encoded(text));
  }
  if (roll < 6 && !uniqueNPCFiles_.empty()) {  // loaded while the editor holds it
    const auto name = Pick(uniqueNPCFiles_);
    queued_.push_back("console QuillmereCode 8 0 " + name);
    queued_.push_back("release-files");
    return "hold-file UniqueNPCs/" + name + ".ini";
  }
  return Console();
}

std::string SoakEvents::Logging() {
  if (Roll(5)) queued_.push_back("console QuillmereCode 4 0");
  return fmt::format("ini Settings.ini Debug bLogging {}", Roll(2));
}

}  // namespace sim
