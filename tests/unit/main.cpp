// The in-process tests: this executable is the game's main module, with the plug-in's code and
// the sim's game linked in.
#include <gtest/gtest.h>

#include "ChildActions.h"
#include "GameFolder.h"
#include "GameModule.h"
#include "RE/IDs.h"
#include "REL/ID.h"

int main(int argc, char** argv) {
  if (test::IsChildInvocation(argc, argv)) return test::RunChildAction(argc, argv);
  testing::InitGoogleTest(&argc, argv);

  // The game starts once per process in a folder of its own; its address table is loaded now,
  // while that folder is current, as the plug-in's start-up would.
  test::GameFolder game;
  sim::StartGame();
  REL::ResolveAddressLibraryID(RE::ID::LookupFormByID);
  return RUN_ALL_TESTS();
}
