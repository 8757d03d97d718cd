// Files as players' machines and Windows editors make them: folders with letters outside the code
// page, byte order marks, UTF-16, logs that cannot be opened.
#include <gtest/gtest.h>

#include <windows.h>

#include <spdlog/spdlog.h>

#include <string>
#include <vector>

#include "DataBaseTestSupport.h"
#include "FormsBack.h"
#include "GameFolder.h"
#include "Helpers/Boundary.h"
#include "Helpers/Ini.h"
#include "Helpers/PluginSettings.h"
#include "Helpers/TextFile.h"
#include "LogCapture.h"
#include "Main/Cities/DataBase.h"
#include "Main/Cities/LocationData.h"
#include "SFSE/Logger.h"
#include "Win/LongPath.h"
#include "Win/MappedFile.h"
#include "Win/Text.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

const std::wstring kForeignLetters = L"\u0418\u0433\u0440\u044B Zo\u00EB \u30B2\u30FC\u30E0";  // Игры Zoë ゲーム

void WriteBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::FILE* file = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::string Utf16LE(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (const wchar_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return bytes;
}

}  // namespace

TEST(WindowsFiles, IniValuesKeepTheirBytesInFoldersWithAnyLetters) {
  test::GameFolder game;
  const fs::path folder = game.dataFolder() / kForeignLetters;
  const std::wstring folderArgument = L".\\Data\\SFSE\\Plugins\\Quillmere\\" + kForeignLetters + L"\\";
  const std::string utf8Name = "Zo\xC3\xAB";  // saved by an editor as UTF-8: the game must get these bytes
  WriteBytes(folder / L"Town.ini", "[Main]\r\nsName=" + utf8Name + "\r\n");

  EXPECT_TRUE(Ini::IniFileExists("Town", folderArgument));
  EXPECT_EQ(Ini::ReadIniValue("Town", "Main", "sName", folderArgument), utf8Name);
  EXPECT_TRUE(Ini::WriteIniValue("Town", "Main", "sOther", utf8Name, folderArgument));
  EXPECT_EQ(Ini::ReadIniValue("Town", "Main", "sOther", folderArgument), utf8Name);
  EXPECT_NE(test::ReadFile(folder / L"Town.ini").find("sOther=" + utf8Name), std::string::npos);

  // A file whose name has such letters is found by its UTF-8 name.
  WriteBytes(game.dataFolder() / (L"Zo\u00EB.ini"), "[Main]\r\nKey=1\r\n");
  EXPECT_EQ(Ini::ReadIniValue(utf8Name, "Main", "Key", Ini::kDataFolder), "1");
}

TEST(WindowsFiles, DataFilesWithAnyLettersMarksAndUtf16) {
  test::GameFolder game;
  FormsBack restore;
  PluginSettings = PluginSettingsRecord{};
  ResetPlugins();
  auto* voice = sim::AddForm(0x7E101, RE::FormType::kVoiceType);
  const auto neon = game.dataFolder() / "Neon";
  WriteBytes(neon / L"FemaleNames_Zo\u00EB.txt", "Zo\xC3\xAB\r\n");
  WriteBytes(neon / "FemaleNames_Marked.txt",
             "\xEF\xBB\xBF"
             "Ada\r\nBo\r\n");
  WriteBytes(neon / "FemaleNames_Unicode.txt", Utf16LE(L"Cyd\r\nD\u00E9a\r\n"));
  WriteBytes(neon / "FemaleNames_Unmarked.txt", std::string("E\0v\0a\0\r\0\n\0", 10));
  WriteBytes(neon / "FemaleVoices.txt",
             "\xEF\xBB\xBF"
             "7E101_Starfield.esm\r\n");

  auto& record = CityRecordOf(City::Neon);
  test::LogCapture log;
  EXPECT_EQ(BuildDataBase(DataBaseKind::Names, true, record), 5);
  auto names = record.FemaleNames.Entries();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Lines{"Ada", "Bo", "Cyd",
                          "D\xC3\xA9"
                          "a",
                          "Zo\xC3\xAB"}));
  EXPECT_TRUE(log.contains(kInfo + "  adding [Name:Zo\xC3\xAB] to database [FemaleNames] (iDBIndex [6])."));
  const auto unmarked = log.linesOf("BuildDataBase");
  EXPECT_EQ(std::count_if(unmarked.begin(), unmarked.end(),
                          [](const std::string& line) {
                            return line.rfind(kError + "file 'FemaleNames_Unmarked.txt' for location [Neon]", 0) == 0 &&
                                   line.find("is UTF-16 without byte order mark") != std::string::npos;
                          }),
            1);
  EXPECT_FALSE(
      log.contains(kInfo + "beginning to process file 'FemaleNames_Unmarked.txt' for location [Neon] at i (3)..."));

  // A mark before the first form line is not part of its form ID.
  log.clear();
  EXPECT_EQ(BuildDataBase(DataBaseKind::Voices, true, record), 1);
  EXPECT_EQ(record.FemaleVoices.Entries(), std::vector<RE::BGSVoiceType*>{static_cast<RE::BGSVoiceType*>(voice)});
}

TEST(WindowsFiles, TextDecodingKeepsPlainBytesAndFindsEveryLine) {
  EXPECT_EQ(TextFile::Decode("a\xE9\r\nb").text, "a\xE9\r\nb");  // the Windows code page stays as it is
  EXPECT_EQ(TextFile::Decode("\xEF\xBB\xBF").text, "");
  EXPECT_EQ(TextFile::Decode(std::string("\xFE\xFF\x00\x41\x00\x0A", 6)).text, "A\n");
  EXPECT_EQ(TextFile::Decode(std::string("\xFF\xFE\x41", 3)).text, "");  // half a character is dropped
  Lines lines;
  TextFile::ForEachLine("one\r\n\r\ntwo\nthree\r", [&](std::string_view line) { lines.emplace_back(line); });
  EXPECT_EQ(lines, (Lines{"one", "", "two", "three"}));
}

TEST(WindowsFiles, LogFolderWithAnyLettersAndALogThatCannotBeOpened) {
  test::GameFolder game;
  const auto previous = spdlog::default_logger();
  const auto directory = fs::current_path() / (L"Documents " + kForeignLetters) / "Logs";
  SFSE::log::init(directory);
  SPDLOG_INFO("written where the player looks");
  const auto file = directory / L"Brindlewick - SFSE Plugin by Tamsryn.log";
  EXPECT_NE(test::ReadFile(file).find("written where the player looks"), std::string::npos);

  // Logs taken by a file of that name: no file log, but a working logger.
  const auto blocked = fs::current_path() / "Blocked";
  WriteBytes(blocked / "Logs", "not a folder");
  spdlog::drop_all();
  EXPECT_NO_THROW(SFSE::log::init(blocked / "Logs"));
  ASSERT_NE(spdlog::default_logger_raw(), nullptr);
  EXPECT_EQ(spdlog::default_logger_raw()->name(), "SFSE");
  EXPECT_EQ(spdlog::default_logger_raw()->sinks().size(), 1u);  // the debugger's only
  spdlog::set_default_logger(previous);
}

TEST(WindowsFiles, ExceptionsAtTheBoundaryAreLoggedAtCriticalLevel) {
  test::LogCapture log;
  PluginSettings.bLogging = false;  // the reason must reach the log all the same
  EXPECT_FALSE(Boundary::Guarded("ProcessEvent", [] { throw std::runtime_error("bad thing"); }));
  EXPECT_FALSE(Boundary::Guarded("ProcessEvent", [] { throw 7; }));
  EXPECT_TRUE(Boundary::Guarded("ProcessEvent", [] {}));
  PluginSettings.bLogging = true;
  EXPECT_EQ(log.lines(), (Lines{"critical|[ProcessEvent] caught bad thing; the game goes on without this step",
                                "critical|[ProcessEvent] caught an exception of unknown type; the game goes on "
                                "without this step"}));
}

TEST(WindowsFiles, LongPathsTakeTheExtendedPrefixInTheirOwnFormAndMappedFilesGiveTheirBytes) {
  const std::wstring deep = L"C:\\Игры\\" + std::wstring(300, L'a');
  EXPECT_EQ(Win::ExtendedLengthPath(deep), L"\\\\?\\" + deep);
  EXPECT_EQ(Win::ExtendedLengthPath(L"\\\\server\\share\\" + std::wstring(300, L'b')),
            L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'b'));
  for (const std::wstring& kept : {std::wstring(L"C:\\Games\\Starfield"), L"\\\\?\\" + deep, L"relative\\" + deep})
    EXPECT_EQ(Win::ExtendedLengthPath(kept), kept);

  // A folder deeper than MAX_PATH, with letters of any script: the file maps, whole.
  test::GameFolder game;
  auto folder = game.path();
  for (int i = 0; i < 6; ++i) folder /= L"Ünïcødé-папка-" + std::wstring(40, L'x');
  std::filesystem::create_directories(folder);
  const std::string bytes = std::string("\x02\x00\x00\x00", 4) + "versionlib\r\n\xFF";
  test::WriteFile(folder / L"versionlib-1-14-70-0.bin", bytes);
  const Win::MappedFile mapped(folder / L"versionlib-1-14-70-0.bin");
  ASSERT_EQ(mapped.status(), Win::MappedFile::Status::Mapped);
  EXPECT_EQ(std::string(mapped.bytes().begin(), mapped.bytes().end()), bytes);

  test::WriteFile(folder / L"empty.bin", "");
  const Win::MappedFile empty(folder / L"empty.bin");
  EXPECT_EQ(empty.status(), Win::MappedFile::Status::Mapped);
  EXPECT_TRUE(empty.bytes().empty());
  EXPECT_EQ(Win::MappedFile(folder / L"missing.bin").status(), Win::MappedFile::Status::CannotOpen);
}
