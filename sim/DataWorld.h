#pragma once
// A world made from an author's data folder, for previewing and checking data whose forms come from
// plug-in files the stand-in's sample world does not know: every form a city file or unique NPC file
// names exists, in the plug-in file it names, with the kind that file expects.
#include <filesystem>

namespace sim {

// Declares the plug-in files the data names: Starfield.esm first, then in the order first seen, full
// for .esm and .esp, small for .esl (a name with none of these extensions is no plug-in file), and the
// plug-in's master file after them. Then the forms: faces as NPCs of the file's sex, clothing as
// outfits, facial animations as keywords, voices as voice types, encounter points as references
// standing in their city around its spot (halfway between the nearest and farthest Settings.ini lets
// a point be from the player), and a unique NPC's appearance (of the sex a face file gives
// it, else male), facial animation, voice and clothing likewise. A form named twice keeps its first
// kind. A form ID the game's lookup refuses, or that is not all hexadecimal, makes no form, so the
// plug-in still refuses its line. Throws when the data names more plug-in files than a game loads.
void LoadWorldFromData(const std::filesystem::path& dataFolder);

}  // namespace sim
