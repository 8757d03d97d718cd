#pragma once
// Form references whose text is wrong whatever files and forms the game holds: reported without a
// world too, where a form that is not found is no finding.
#include <optional>
#include <string>

namespace check {

// formID: the ID text the plug-in passed to its lookup; lookupDetails: the lookup's own messages about
// it. What to append to the finding when the text alone is wrong (the lookup's message when it refused
// the text before asking for the file, else a note when the text is not one hexadecimal number, which
// the lookup reads only up to its first other character); none when only the game's files can tell.
std::optional<std::string> WrongInItsText(const std::string& formID, const std::string& lookupDetails);

}  // namespace check
