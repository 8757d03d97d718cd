// The plug-in reads the host's load interface at the host's offsets: three versions, then
// QueryInterface, GetPluginHandle and GetPluginInfo. The sim's host declares that layout itself,
// so a plug-in that reads another one gets other interfaces (or crashes) here.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "ChildActions.h"
#include "GameFolder.h"
#include "GameModule.h"
#include "Host.h"
#include "SFSE/API.h"

namespace {

CHILD_ACTION(BindToTheHostsLoadInterface) {
  test::GameFolder folder;
  sim::StartGame();
  const auto& host = sim::HostLoadInterface();
  SFSE::Init(reinterpret_cast<const SFSE::LoadInterface*>(&host));
  const bool same = SFSE::GetPluginHandle() == host.GetPluginHandle() &&
                    SFSE::GetMessagingInterface() == host.QueryInterface(sim::host::kMessagingInterface) &&
                    SFSE::GetTrampolineInterface() == host.QueryInterface(sim::host::kTrampolineInterface) &&
                    SFSE::GetMenuInterface() == host.QueryInterface(sim::host::kMenuInterface) &&
                    SFSE::GetTaskInterface() == host.QueryInterface(sim::host::kTaskInterface) &&
                    SFSE::GetMessagingInterface() != nullptr;
  std::printf("bound: %s\n", same ? "the host's interfaces" : "something else");
  std::fflush(stdout);
  if (!same) std::exit(5);
}

TEST(HostBinding, ThePlugInTakesTheHostsInterfacesFromItsLoadInterface) {
  const auto child = test::RunChild("BindToTheHostsLoadInterface");
  EXPECT_EQ(child.exitCode, 0u) << child.output;
  EXPECT_NE(child.output.find("bound: the host's interfaces"), std::string::npos) << child.output;
}

}  // namespace
