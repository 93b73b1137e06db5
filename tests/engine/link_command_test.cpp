// The command-line link: parsing its three values, waiting for the modem's
// table, running the operation and reporting it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/link_command.h"
#include "link_rig.h"

namespace quorvel {
namespace {

using testing::kSimModemId;
using testing::LinkNet;

const InsteonId kKeypad = InsteonId::From(0x20, 0x00, 0x03);
const InsteonId kDimmer = InsteonId::From(0x20, 0x00, 0x01);

TEST(ParseLinkCommand, TakesTwoIdsAndAGroup) {
  struct Case {
    const char *controller, *responder, *group;
    std::string error;  // empty: parsed
  };
  const std::vector<Case> cases = {
      {"20.00.03", "20.00.01", "4", ""},
      {"200003", "20 00 01", "255", ""},
      {"20.00.3", "20.00.01", "4", "the controller \"20.00.3\" is not an id like 1A.2B.3C"},
      {"20.00.03", "zz.00.01", "4", "the responder \"zz.00.01\" is not an id like 1A.2B.3C"},
      {"20.00.03", "20.00.03", "4", "the controller and the responder are the same device"},
      {"20.00.03", "20.00.01", "256", "the group \"256\" is not a number 0..255"},
      {"20.00.03", "20.00.01", "-1", "the group \"-1\" is not a number 0..255"},
      {"20.00.03", "20.00.01", "", "the group \"\" is not a number 0..255"},
      {"20.00.03", "20.00.01", "99999999999", "the group \"99999999999\" is not a number 0..255"},
  };
  for (const Case& c : cases) {
    LinkCommand cmd;
    std::string error;
    EXPECT_EQ(ParseLinkCommand(c.controller, c.responder, c.group, cmd, error), c.error.empty()) << c.group;
    EXPECT_EQ(error, c.error);
  }
  LinkCommand cmd;
  std::string error;
  ASSERT_TRUE(ParseLinkCommand("20.00.03", "20.00.01", "4", cmd, error));
  EXPECT_EQ(cmd.controller, kKeypad);
  EXPECT_EQ(cmd.responder, kDimmer);
  EXPECT_EQ(cmd.group, 4);
}

struct CommandNet : LinkNet {
  CommandNet() {
    AddSimDevice(kDimmer, 0x01, 0x20, sim::kEngineI2);
    AddSimDevice(kKeypad, 0x01, 0x1C, sim::kEngineI2cs);
    Start();
    sim::LinkEntry modemLink;
    modemLink.flags = 0xA2;
    modemLink.group = 1;
    modemLink.id = kSimModemId;
    Sim(kKeypad).SetLinkAt(0, modemLink);
    Sim(kDimmer).SetLinkAt(0, modemLink);
    AddRecord(kDimmer, 1, kEngineI2);
    AddRecord(kKeypad, 1, kEngineI2cs);
  }
  // Runs the command to its end; the engine counts as steady from `readyAt` on.
  LinkCommandRun Run(const char* controller, const char* responder, const char* group, int readyAt = 0) {
    LinkCommandRun run;
    std::string error;
    EXPECT_TRUE(ParseLinkCommand(controller, responder, group, run.command, error)) << error;
    for (int i = 0; i < 20000; ++i) {
      ctx->engine.engineState = i >= readyAt ? kEngineSteady : 5;
      Step();
      if (StepLinkCommand(*ctx, run)) break;
    }
    return run;
  }
};

TEST(LinkCommandRun, ControllerToResponderWaitsForTheTableThenReports) {
  CommandNet n;
  const LinkCommandRun run = n.Run("20.00.03", "20.00.01", "4", /*readyAt=*/30);
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(run.report, std::vector<std::string>{"Link 20.00.03 group 4 to 20.00.01: 2 records written, 0 not taken"});
  EXPECT_GE(n.steps, 30);
  EXPECT_TRUE(n.Sim(kKeypad).FindLink(true, 4, kDimmer) >= 0);
  EXPECT_TRUE(n.Sim(kDimmer).FindLink(false, 4, kKeypad) >= 0);
}

TEST(LinkCommandRun, TheModemAsControllerPutsTheDeviceIntoTheGroup) {
  CommandNet n;
  const LinkCommandRun run = n.Run("1E.65.A2", "20.00.01", "7");
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(run.report, std::vector<std::string>{"Link 1E.65.A2 group 7 to 20.00.01: 1 record written, 0 not taken"});
  EXPECT_TRUE(n.Sim(kDimmer).FindLink(false, 7, kSimModemId) >= 0);
  EXPECT_TRUE(n.net->Modem().Find(7, kDimmer, sim::kControllerSide) >= 0);
}

TEST(LinkCommandRun, FailuresAreReported) {
  {
    CommandNet n;
    const LinkCommandRun run = n.Run("20.00.03", "20.00.09", "4");
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.report, std::vector<std::string>{"Link refused: 20.00.09 is not in the device database"});
  }
  {
    CommandNet n;
    n.Sim(kDimmer).deaf = true;
    const LinkCommandRun run = n.Run("20.00.03", "20.00.01", "4");
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.report, std::vector<std::string>{"Link 20.00.03 group 4 to 20.00.01: 1 record written, 1 not taken"});
  }
  {
    CommandNet n;
    const LinkCommandRun run = n.Run("20.00.03", "20.00.01", "4", /*readyAt=*/1 << 30);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.report, std::vector<std::string>{"Link not made: the modem's link table was not read"});
  }
}

}  // namespace
}  // namespace quorvel
