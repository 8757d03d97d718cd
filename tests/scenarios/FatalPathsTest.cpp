// Faults the plug-in cannot run with end the game with a report: each run must end with its exit
// code and its critical log line, and must not hang on the way out.
#include <gtest/gtest.h>

#include "SimRun.h"

namespace {

using test::RunSim;
using test::SimOptions;

struct FatalCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* program;
  std::string expectedStart;  // the critical message starts with this
};

TEST(FatalPaths, AddressLibraryFaultsEndTheGameWithTheirReport) {
  const std::vector<FatalCase> cases = {
      {"game newer than its library",
       {"--addrlib-version", "1.14.70.0"},
       "brindlewick-sim-next.exe",
       "Address library version mismatch.\nRead-in: 1.14.70.0"},
      {"header names another version",
       {"--addrlib-version", "1.14.69.0"},
       "brindlewick-sim.exe",
       "Address library version mismatch.\nRead-in: 1.14.69.0"},
      {"unknown format",
       {"--addrlib-format", "3"},
       "brindlewick-sim.exe",
       "Unsupported address library format: 3\nCompiled IDDatabase version: 2\nThis means this script extender "
       "plugin is incompatible"},
      {"count beyond the entries",
       {"--addrlib-extra-count", "5"},
       "brindlewick-sim.exe",
       "Failed to locate an appropriate address library with the path: "},
      {"ID missing between two others",
       {"--addrlib-drop", "148887"},
       "brindlewick-sim.exe",
       "Failed to find the id within the address library: 148887\nCompiled IDDatabase version: 2\n"},
      {"only the Steam file present",
       {"--addrlib-platform", "0"},
       "brindlewick-sim.exe",
       "Failed to find address library file: \n"},
  };
  for (const auto& fatal : cases) {
    SCOPED_TRACE(fatal.name);
    SimOptions options;
    options.arguments = fatal.arguments;
    options.program = fatal.program;
    const auto run = RunSim("start\nreport\n", options);
    EXPECT_FALSE(run.process.timedOut);
    EXPECT_EQ(run.process.exitCode, 1u) << run.process.output;
    ASSERT_FALSE(run.entries.empty()) << run.log;
    EXPECT_EQ(run.entries.back().rfind("critical|" + fatal.expectedStart, 0), 0u) << run.entries.back();
    EXPECT_TRUE(run.report.is_null()) << "the game ended before its report";
    // The player's message box names the file from the repository's root, never the build machine's.
    const auto box = run.process.output.find("brindlewick-sim: message box \"Brindlewick.dll\": src/REL/ID.cpp(");
    EXPECT_NE(box, std::string::npos) << run.process.output;
  }
}

TEST(FatalPaths, ReportsNameThePlatformAndTheFileTheyLookedFor) {
  SimOptions options;
  options.arguments = {"--addrlib-extra-count", "1"};
  const auto truncated = RunSim("start\n", options);
  ASSERT_FALSE(truncated.entries.empty());
  const auto& report = truncated.entries.back();
  EXPECT_NE(report.find("versionlib-1-14-70-0-1.bin\nThis means you are either missing"), std::string::npos) << report;
  EXPECT_NE(report.find("\nCurrent version: 1.14.70.0\nCurrent platform: Microsoft Store"), std::string::npos)
      << report;

  options.arguments = {"--addrlib-platform", "0"};
  const auto missing = RunSim("start\n", options);
  ASSERT_FALSE(missing.entries.empty());
  const auto& notFound = missing.entries.back();
  EXPECT_EQ(notFound.substr(notFound.size() - std::string("versionlib-1-14-70-0-1.bin").size()),
            "versionlib-1-14-70-0-1.bin")
      << notFound;
}

TEST(FatalPaths, MissingAppearanceFlagEndsTheGameWithAFailureExitCode) {
  SimOptions options;
  options.arguments = {"--addrlib-null", "830206"};
  const auto run = RunSim("start\nreport\n", options);
  EXPECT_FALSE(run.process.timedOut);
  // A fatal error must not look like a clean exit to whoever started the game.
  EXPECT_NE(run.process.exitCode, 0u);
  ASSERT_FALSE(run.entries.empty());
  EXPECT_EQ(run.entries.back(), "critical|Error: custom FaceGen processor couldn't be initialized");
  EXPECT_EQ(run.EntriesWith("successfully patched").size(), 2u);
  EXPECT_TRUE(run.EntriesWith("installation complete").empty());
}

}  // namespace
