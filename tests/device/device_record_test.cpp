#include <gtest/gtest.h>

#include "device/device_database.h"
#include "support/test_rig.h"

namespace quorvel {
namespace {

TEST(DeviceDatabase, LookupsReturnFirstMatchOrMinusOne) {
  auto db = std::make_unique<DeviceDatabase>();
  const InsteonId a = InsteonId::From(0x1a, 0x2b, 0x3c);
  const InsteonId b = InsteonId::From(0x11, 0x22, 0x33);
  db->records[0].group = 1;
  db->records[0].id = a;
  db->records[1].group = 251;
  db->records[1].id = a;
  db->records[2].group = 1;
  db->records[2].id = b;
  db->count = 3;
  EXPECT_EQ(db->FindDevice(a), 0);
  EXPECT_EQ(db->FindDeviceInGroup(251, a), 1);
  EXPECT_EQ(db->FindDeviceByKey(MakeDeviceKey(1, b)), 2);
  EXPECT_EQ(db->FindDevice(InsteonId::From(9, 9, 9)), -1);
  db->count = 2;
  EXPECT_EQ(db->FindDevice(b), -1) << "slots beyond count are not the table";
}

TEST(TestRig, BuildsAFreshContext) {
  testing::TestRig rig;
  rig->log.LogActivity("hello world");
  ASSERT_EQ(rig.Texts(LogChannel::GeneralActivity).size(), 1u);
  EXPECT_EQ(rig.Texts(LogChannel::GeneralActivity)[0], "hello world");
}

}  // namespace
}  // namespace quorvel
