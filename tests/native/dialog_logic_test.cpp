// The portable rules of dialog windows: DPI arithmetic, alignment, the tab
// sequence and accelerators.
#include <gtest/gtest.h>

#include "toolkit/DialogLogic.h"

namespace {

TEST(DialogLogic, DpiScalingRoundsHalfAwayFromZeroLikeMulDiv) {
  struct Case { int value, dpi, expected; };
  for (const Case& c : {Case{1, 144, 2}, Case{3, 144, 5}, Case{342, 144, 513}, Case{299, 144, 449},
                        Case{299, 120, 374}, Case{25, 120, 31}, Case{45, 168, 79}, Case{10, 96, 10},
                        Case{-3, 144, -5}, Case{0, 192, 0}, Case{342, 192, 684}})
    EXPECT_EQ(DpiScale(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
  EXPECT_EQ(MulDivRound(7, 1, 0), 0);
  EXPECT_EQ(MulDivRound(2000000000, 3, 4), 1500000000);  // no overflow in between
  EXPECT_EQ((DpiScale(TRectI{15, 185, 94, 26}, 144)), (TRectI{23, 278, 141, 39}));
}

// A size in points becomes pixels once, at the DPI it is shown at; going
// through 96-DPI pixels first would round twice (14 pt at 144 DPI: 19 px
// scaled to 29, not 28).
TEST(DialogLogic, PointSizesBecomePixelsOnceAtTheWindowsDpi) {
  struct Case { int points, dpi, pixels; };
  for (const Case& c : {Case{10, 96, 13}, Case{10, 120, 17}, Case{10, 144, 20}, Case{10, 192, 27},
                        Case{14, 96, 19}, Case{14, 120, 23}, Case{14, 144, 28}, Case{14, 192, 37},
                        Case{9, 96, 12}, Case{9, 120, 15}, Case{9, 144, 18}, Case{9, 192, 24},
                        Case{0, 144, 0}})
    EXPECT_EQ(PointsToPixels(c.points, c.dpi), c.pixels) << c.points << " pt at " << c.dpi;
}

TEST(DialogLogic, AlignedControlsStackFromTheEdgesAndClientFillsTheRest) {
  const TRectI area{1, 1, 340, 297};  // inside a one-pixel bevel
  const auto rects = AlignControls(area, {{alTop, {5, 5, 10, 170}},
                                          {alNone, {120, 180, 205, 40}},
                                          {alBottom, {9, 9, 9, 70}},
                                          {alClient, {0, 0, 0, 0}},
                                          {alTop, {0, 0, 0, 20}}});
  EXPECT_EQ(rects[0], (TRectI{1, 1, 340, 170}));
  EXPECT_EQ(rects[1], (TRectI{120, 180, 205, 40}));
  EXPECT_EQ(rects[2], (TRectI{1, 228, 340, 70}));
  EXPECT_EQ(rects[4], (TRectI{1, 171, 340, 20}));
  EXPECT_EQ(rects[3], (TRectI{1, 191, 340, 37}));
  // Nothing left for the client: an empty height, never a negative one.
  EXPECT_EQ(AlignControls({0, 0, 50, 10}, {{alTop, {0, 0, 0, 30}}, {alClient, {}}})[1], (TRectI{0, 30, 50, 0}));
}

// A window laid out like a small dialog:
//   0 panel (tab 0, container)
//     1 OK button (tab 0)   2 options box (tab 1)   3 static text (tab 2, no stop)   4 actions box (tab 3)
//   options box: 5 check box (tab 0), 6 browse button (tab 1)
//   actions box: 7..9 option buttons (tab 0..2)
std::vector<TTabItem> Dialog() {
  std::vector<TTabItem> items(10);
  items[0] = {-1, 0, false};
  items[1] = {0, 0, true};
  items[2] = {0, 1, false};
  items[3] = {0, 2, false};
  items[4] = {0, 3, false};
  items[5] = {2, 0, true};
  items[6] = {2, 1, true};
  for (int i = 0; i < 3; ++i) items[7 + i] = {4, i, true, true, true, false};
  return items;
}

TEST(DialogLogic, TabVisitsNestedContainersByTabOrder) {
  auto items = Dialog();
  EXPECT_EQ(TabSequence(items), (std::vector<int>{1, 5, 6, 7}));
  // Tab order, not creation order, decides; the check box moves behind.
  items[5].TabOrder = 2;
  EXPECT_EQ(TabSequence(items), (std::vector<int>{1, 6, 5, 7}));
  // Disabled controls and the contents of a disabled container are skipped.
  items[6].Focusable = false;
  items[4].Focusable = false;
  items[7].Focusable = items[8].Focusable = items[9].Focusable = false;
  EXPECT_EQ(TabSequence(items), (std::vector<int>{1, 5}));
}

TEST(DialogLogic, NextTabStopWrapsBothWaysAndTreatsAnOptionGroupAsOneStop) {
  auto items = Dialog();
  EXPECT_EQ(NextTabStop(items, 1, false), 5);
  EXPECT_EQ(NextTabStop(items, 7, false), 1);  // wraps
  EXPECT_EQ(NextTabStop(items, 1, true), 7);   // wraps back to the group
  EXPECT_EQ(NextTabStop(items, -1, false), 1);
  EXPECT_EQ(NextTabStop(items, -1, true), 7);
  // The group's stop is its checked button; from any of its buttons Tab
  // leaves the group.
  items[8].Checked = true;
  EXPECT_EQ(TabSequence(items), (std::vector<int>{1, 5, 6, 8}));
  EXPECT_EQ(NextTabStop(items, 6, false), 8);
  EXPECT_EQ(NextTabStop(items, 9, false), 1);
  EXPECT_EQ(NextTabStop(items, 9, true), 6);
  EXPECT_EQ(NextTabStop({}, -1, false), -1);
}

TEST(DialogLogic, ArrowsMoveWithinTheOptionGroupSkippingDisabledButtons) {
  auto items = Dialog();
  EXPECT_EQ(NextOptionInGroup(items, 7, false), 8);
  EXPECT_EQ(NextOptionInGroup(items, 9, false), 7);  // wraps
  EXPECT_EQ(NextOptionInGroup(items, 7, true), 9);
  items[8].Focusable = false;
  EXPECT_EQ(NextOptionInGroup(items, 7, false), 9);
  EXPECT_EQ(NextOptionInGroup(items, 5, false), -1);  // not an option button
  items[9].Focusable = false;
  EXPECT_EQ(NextOptionInGroup(items, 7, false), -1);  // alone in its group
}

TEST(DialogLogic, AcceleratorIsTheCharacterAfterASingleAmpersand) {
  struct Case { const char16_t* caption; char16_t accel; };
  for (const Case& c : {Case{u"[&1]", u'1'}, Case{u"&Open", u'O'}, Case{u"Save &as", u'A'},
                        Case{u"R&&D", 0}, Case{u"R&&D &x", u'X'}, Case{u"plain", 0}, Case{u"end&", 0},
                        Case{u"", 0}, Case{u"全角&ｆ", u'Ｆ'}})
    EXPECT_EQ(AcceleratorChar(c.caption), c.accel) << ToUtf8(c.caption);
  EXPECT_TRUE(IsAccelerator(u'o', u"&Open"));
  EXPECT_TRUE(IsAccelerator(u'3', u"[&3]"));
  EXPECT_FALSE(IsAccelerator(u'p', u"&Open"));
  EXPECT_FALSE(IsAccelerator(u'&', u"R&&D"));
  EXPECT_FALSE(IsAccelerator(0, u"plain"));
}

}  // namespace
