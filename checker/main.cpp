// brindlewick-check: reads a data folder the way the plug-in does, against the stand-in's world,
// and lists what the plug-in would refuse, lose or take in a way an author rarely means.
#include <windows.h>

#include <fstream>
#include <iostream>

#include <CLI/CLI.hpp>

#include "CommandLine.h"
#include "Run.h"
#include "Text.h"

int main() {
  SetConsoleOutputCP(CP_UTF8);
  CLI::App app{
      "Brindlewick data checker: reads a data folder (Settings.ini, each city's LocationData.ini and databases, the "
      "unique NPC files) with the plug-in's own code and prints one line per problem, \"file:line: level: message\" "
      "(line 0: the file as a whole), then a summary per city. Exit code 0: no error; 1: errors; 2: the folder "
      "cannot be read."};
  app.allow_windows_style_options(false);  // "/path/to/file" is a file, not an option
  std::string data = "Data/SFSE/Plugins/Quillmere", world, json;
  app.add_option("--data", data,
                 "the data folder to check (default: Data/SFSE/Plugins/Quillmere below the current folder, as in "
                 "the game's folder)");
  app.add_option("--world", world,
                 "world file (JSON) with the game's plug-in files and forms; without it every form a line names "
                 "counts as present, with the kind its file expects, and only the text is checked");
  app.add_option("--json", json, "also write the findings and the summary as JSON to this file");
  try {
    sim::ParseUtf8Arguments(app);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : check::kExitUnreadable;
  }

  check::RunOptions options;
  options.data = std::filesystem::absolute(sim::PathFromUtf8(data));
  if (!world.empty()) options.world = std::filesystem::absolute(sim::PathFromUtf8(world));
  try {
    const auto report = check::Run(options);
    check::PrintText(report, std::cout);
    if (!json.empty()) {
      std::ofstream out(sim::PathFromUtf8(json), std::ios::binary | std::ios::trunc);
      out << check::ToJson(report).dump(2) << "\n";
      if (!out) {
        std::cerr << "brindlewick-check: cannot write " << json << "\n";
        return check::kExitUnreadable;
      }
    }
    return report.Count(check::Level::Error) > 0 ? check::kExitErrors : check::kExitClean;
  } catch (const std::exception& error) {
    std::cerr << "brindlewick-check: " << error.what() << "\n";
    return check::kExitUnreadable;
  }
}
