// Contrast by relative luminance, and the readable variants the looks derive
// from the log's colours.
#include "log/text_contrast.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

constexpr TraceColor kWhite{255, 255, 255};
constexpr TraceColor kBlack{0, 0, 0};
constexpr TraceColor kDarkGrey{0x2A, 0x2A, 0x2A};

TEST(TextContrast, RatiosOfKnownPairs) {
  struct Case {
    TraceColor a, b;
    double ratio;
  };
  const Case cases[] = {
      {kBlack, kWhite, 21.0},
      {kWhite, kBlack, 21.0},  // the order does not matter
      {kDarkGrey, kDarkGrey, 1.0},
      {{0x77, 0x77, 0x77}, kWhite, 4.48},  // the grey just short of 4.5 on white
      {{0, 136, 0}, kWhite, 4.65},         // the On Log green on white
      {kBlack, kDarkGrey, 1.46},           // the log text the dark look drew
  };
  for (const Case& c : cases)
    EXPECT_NEAR(ContrastRatio(c.a, c.b), c.ratio, 0.01)
        << int(c.a.red) << "," << int(c.a.green) << "," << int(c.a.blue) << " on " << int(c.b.red);
}

TEST(TextContrast, ReadableColoursAreKeptAndOthersMovedJustFarEnough) {
  // Black, green, dark red and navy: the log's four colours, on light and dark grounds.
  const TraceColor kinds[] = {{0, 0, 0}, {0, 136, 0}, {136, 0, 0}, {0, 0, 128}};
  const TraceColor grounds[] = {kWhite, {0xDC, 0xEB, 0xF5}, kDarkGrey, {0x3C, 0x3C, 0x3C}, kBlack, {0x80, 0x80, 0x80}};
  for (const TraceColor& ground : grounds) {
    for (const TraceColor& kind : kinds) {
      const TraceColor shown = ReadableOn(kind, ground);
      const double ratio = ContrastRatio(shown, ground);
      SCOPED_TRACE(testing::Message() << "colour " << int(kind.red) << "," << int(kind.green) << ","
                                      << int(kind.blue) << " on grey " << int(ground.red));
      if (ContrastRatio(kind, ground) >= kMinTextContrast) {
        EXPECT_EQ(shown, kind) << "a readable colour stays as it is";
      } else {
        EXPECT_GE(ratio, kMinTextContrast);
        EXPECT_LT(ratio, kMinTextContrast + 0.3) << "moved no further than needed";
      }
    }
  }
  // The hue survives: green stays greener than it is red or blue.
  const TraceColor green = ReadableOn({0, 136, 0}, kDarkGrey);
  EXPECT_GT(green.green, green.red);
  EXPECT_GT(green.green, green.blue);
  // Even the hardest ground, a mid grey, leaves one extreme that reads.
  EXPECT_GE(ContrastRatio(ReadableOn({0x76, 0x76, 0x76}, {0x76, 0x76, 0x76}), {0x76, 0x76, 0x76}), kMinTextContrast);
}

TEST(TextContrast, DisabledTextIsWeakerButLegible) {
  struct Case {
    TraceColor text, background;
  };
  const Case cases[] = {{kWhite, {0x3C, 0x3C, 0x3C}}, {kBlack, {0xDC, 0xEB, 0xF5}}, {kBlack, kWhite}};
  for (const Case& c : cases) {
    const TraceColor disabled = DisabledOn(c.text, c.background);
    const double ratio = ContrastRatio(disabled, c.background);
    EXPECT_GE(ratio, 2.4);
    EXPECT_LE(ratio, 2.8);
    EXPECT_LT(ratio, ContrastRatio(c.text, c.background) / 2);
  }
  // A pair too close for 2.5:1 gives their midpoint.
  EXPECT_EQ(DisabledOn({0x60, 0x60, 0x60}, {0x40, 0x40, 0x40}), (TraceColor{0x50, 0x50, 0x50}));
}

}  // namespace
}  // namespace quorvel
