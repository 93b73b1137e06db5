// The widgets dialog's model: what it lists as it opens, the type switch, and
// what "Create" keeps for a typed X10 address, refuses, or only shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/x10_widget.h"
#include "support/test_rig.h"
#include "views/event_editors/widgets_dialog_model.h"

namespace quorvel {
namespace {

using testing::TestRig;

TEST(WidgetsDialogModel, OpensOnEmailWithTheKeptAddressesSortedAndTheLastAddedSelected) {
  TestRig rig;
  for (const char* typed : {"J11", "A1", "C7"}) rig->widgets.Add(MakeX10Widget(typed));
  WidgetRecord odd = MakeX10Widget("Q5");  // house byte 65: never listed
  rig->widgets.Add(odd);
  const WidgetsDialogState s = OpenWidgetsDialog(*rig);
  EXPECT_EQ(s.type, kWidgetTypeEmail);
  EXPECT_EQ(s.typeLabel, "Email Setup");
  EXPECT_FALSE(s.x10EditShown);
  EXPECT_TRUE(s.emailEditsShown);
  EXPECT_EQ(s.list, (std::vector<std::string>{"A1", "C7", "J11"}));
  ASSERT_EQ(s.selected, 1);  // C7, the last listed one added
  EXPECT_EQ(s.list[static_cast<size_t>(s.selected)], "C7");

  const WidgetsDialogState none = OpenWidgetsDialog(*TestRig().ctx);
  EXPECT_TRUE(none.list.empty());
  EXPECT_EQ(none.selected, -1);
}

TEST(WidgetsDialogModel, TheTypeShowsItsOwnFields) {
  WidgetsDialogState s;
  ChangeWidgetType(s, kWidgetTypeX10);
  EXPECT_EQ(s.typeLabel, "New X10 Address (A5, J11)");
  EXPECT_TRUE(s.x10EditShown);
  EXPECT_FALSE(s.emailEditsShown);
  ChangeWidgetType(s, kWidgetTypeEmail);
  EXPECT_EQ(s.typeLabel, "Email Setup");
  EXPECT_FALSE(s.x10EditShown);
  EXPECT_TRUE(s.emailEditsShown);
}

TEST(WidgetsDialogModel, CreateKeepsAWholeAddressAndRefusesAnythingElse) {
  struct Case {
    const char* typed;
    bool created;
    uint8_t house, unit;
    const char* text;
  };
  const Case cases[] = {
      {"J11", true, 15, 3, "J11"}, {"a1", true, 6, 6, "A1"}, {"P16", true, 12, 12, "P16"},
      {"Q5", false, 0, 0, ""},     {"A0", false, 0, 0, ""},  {"A17", false, 0, 0, ""},
      {"", false, 0, 0, ""},       {"J1x", false, 0, 0, ""}, {"7", false, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    TestRig rig;
    rig->widgets.Add(MakeX10Widget("B2"));
    WidgetsDialogState s = OpenWidgetsDialog(*rig);
    ChangeWidgetType(s, kWidgetTypeX10);
    const CreateOutcome out = CreateWidget(*rig, s, c.typed, "someone@example.org");
    EXPECT_EQ(out.created, c.created);
    if (!c.created) {
      EXPECT_EQ(out.title, kX10AddressTitle);
      EXPECT_EQ(out.text, kX10AddressHelp);
      EXPECT_EQ(rig->widgets.widgets.size(), 1u);
      EXPECT_EQ(s.list, (std::vector<std::string>{"B2"}));
      continue;
    }
    EXPECT_FALSE(out.HasBox());
    ASSERT_EQ(rig->widgets.widgets.size(), 2u);
    const WidgetRecord& w = rig->widgets.widgets.rbegin()->second;
    EXPECT_EQ(w.widgetType, kWidgetX10Address);
    EXPECT_EQ(w.x10House, c.house);
    EXPECT_EQ(w.x10Unit, c.unit);
    EXPECT_STREQ(w.addressText, c.text);
    ASSERT_GE(s.selected, 0);
    EXPECT_EQ(s.list[static_cast<size_t>(s.selected)], c.text);
    EXPECT_EQ(s.list.size(), 2u);
  }
}

TEST(WidgetsDialogModel, AnEmailEntryIsOnlyListed) {
  TestRig rig;
  WidgetsDialogState s = OpenWidgetsDialog(*rig);
  const std::string longText(200, 'x');
  EXPECT_FALSE(CreateWidget(*rig, s, "A1", "home@example.org").created);
  EXPECT_FALSE(CreateWidget(*rig, s, "", longText).created);
  EXPECT_FALSE(CreateWidget(*rig, s, "", "").created);
  EXPECT_TRUE(rig->widgets.widgets.empty()) << "nothing of an e-mail widget is kept";
  ASSERT_EQ(s.list.size(), 2u);
  EXPECT_EQ(s.list[0], "home@example.org");
  EXPECT_EQ(s.list[1], std::string(127, 'x'));
  EXPECT_EQ(s.selected, 1);
  // Reopened, the dialog lists only what is kept.
  EXPECT_TRUE(OpenWidgetsDialog(*rig).list.empty());
}

}  // namespace
}  // namespace quorvel
