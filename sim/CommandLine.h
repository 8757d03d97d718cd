#pragma once
// The process's command line as the system holds it (wide), so that paths with any letters reach
// the sim intact: main's narrow arguments carry only what the Windows code page can hold.
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace sim {

// Every argument, the program's name first, as UTF-8.
std::vector<std::string> Utf8Arguments();

// The app parses those arguments; throws CLI::ParseError as CLI::App::parse does.
void ParseUtf8Arguments(CLI::App& app);

}  // namespace sim
