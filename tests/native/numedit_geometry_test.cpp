// Where the numeric edit places its text and caret, the height that follows
// the font, the caret's life, the paint colours and the window styles.
#include <gtest/gtest.h>

#include <algorithm>

#include "FakeNumEditApi.h"

namespace {

struct PlaceCase {
  TAlignment align;
  TVertAlignment valign;
  int32_t cw, ch, fh;
  int32_t left, right, top, bottom;  // margins
  int32_t w;                         // width of the shown text
  int32_t x, y;
};

TEST(NumEditGeometry, PlacementTables) {
  const PlaceCase cases[] = {
      {taRightJustify, taVCenter, 117, 17, 13, 2, 2, 2, 2, 7, 107, 2},
      {taLeftJustify, taTopJustify, 117, 17, 13, 5, 2, 3, 2, 7, 5, 3},
      {taRightJustify, taBottomJustify, 100, 30, 13, 2, 4, 2, 3, 10, 85, 14},
      {taCenter, taVCenter, 101, 20, 13, 2, 2, 2, 2, 10, 44, 3},  // 48 + 2 - 1 - 5
      {taCenter, taVCenter, 101, 21, 13, 2, 2, 2, 2, 11, 44, 4},  // halves truncate
      {taCenter, taVCenter, 100, 17, 13, 3, 7, 2, 2, 9, 43, 2},   // 45 + 3 - 1 - 4
      // Too small: negative halves truncate toward zero.
      {taCenter, taVCenter, 3, 10, 13, 2, 2, 2, 2, 20, -9, -1},
      {taCenter, taVCenter, 0, 0, 13, 2, 2, 2, 2, 21, -11, -6},
  };
  FakeNumEditApi api;
  for (const auto& c : cases) {
    TestNumEdit e;
    e.SetAutoSize(false);
    api.fontHeight = c.fh;
    api.widths[u'5'] = c.w;
    e.HandleParentAssigned();
    e.clientWidth = c.cw;
    e.clientHeight = c.ch;
    e.SetAlignment(c.align);
    e.SetVertAlignment(c.valign);
    e.SetLeftMargin(c.left);
    e.SetRightMargin(c.right);
    e.SetTopMargin(c.top);
    e.SetBottomMargin(c.bottom);
    e.SetText(u"5");
    EXPECT_EQ(e.TextLeft(), c.x) << c.cw << "x" << c.ch << " w " << c.w;
    EXPECT_EQ(e.TextTop(), c.y) << c.cw << "x" << c.ch << " w " << c.w;
  }
}

class NumEditCaret : public testing::Test {
protected:
  FakeNumEditApi api;
  TestNumEdit e;
  void SetUp() override {
    e.HandleParentAssigned();  // font height 13, client height 17
    api.calls.clear();
  }
  std::vector<std::string> MoveCalls(int x, int y) {
    return {"ShowCaret(16)",
            "SetCaretPos(" + std::to_string(x) + "," + std::to_string(y) + ")",
            "ImmSetCompositionWindow(2," + std::to_string(x) + "," + std::to_string(y) + ")",
            "ImmSetCompositionFontW(64)", "ImmReleaseContext"};
  }
  std::string LastCaretPos() const {
    for (auto it = api.calls.rbegin(); it != api.calls.rend(); ++it)
      if (it->rfind("SetCaretPos", 0) == 0) return *it;
    return "";
  }
};

TEST_F(NumEditCaret, AutoSizeAndTheDefaultPlace) {
  EXPECT_EQ(e.FontHeight(), 13);
  EXPECT_EQ(e.clientHeights, std::vector<int32_t>{17});
  EXPECT_EQ(e.TextTop(), 2);
  e.SetText(u"1234");
  // The text ends one pixel inside the right margin and the caret stands there.
  EXPECT_EQ(e.TextLeft() + e.ShownWidth(e.Text()), 117 - 3);
  e.focused = true;
  e.HandleResized();
  EXPECT_EQ(LastCaretPos(), "SetCaretPos(114,2)");
  // An empty value: the caret stands at the text's edge.
  e.SetText(u"");
  EXPECT_EQ(LastCaretPos(), "SetCaretPos(114,2)");
  e.SetAlignment(taLeftJustify);
  EXPECT_EQ(LastCaretPos(), "SetCaretPos(2,2)");
}

struct OffsetCase {
  bool fixed;
  int32_t decimals;
  const char16_t* left;
  const char16_t* right;
  const char16_t* text;
  const char16_t* before;  // what stands left of the caret
  const char16_t* after;   // and what is measured behind the integer part
};

TEST_F(NumEditCaret, CaretOffset) {
  const OffsetCase cases[] = {
      {true, 3, u"", u"", u"12.5", u"12", u".5"},  // shown 12.500
      {true, 3, u"", u"", u"12", u"12", u""},      // shown 12.000
      {true, 3, u"", u"", u"12.", u"12", u"."},
      {true, 3, u"", u"", u"", u"0", u""},
      {true, 3, u"¥", u"円", u"", u"¥0", u""},
      {true, 3, u"", u"", u"-", u"-0", u""},
      {true, 3, u"", u"", u"-.5", u"-0", u".5"},  // a lone minus before the point
      {true, 3, u"", u"", u"1234.5", u"1,234", u".5"},
      {true, 2, u"¥", u"円", u"-1234.56", u"¥-1,234", u".56"},
      {false, 3, u"", u"円", u"12", u"12", u""},
      {false, 3, u"¥", u"", u"12", u"¥12", u""},
      {false, 3, u"¥", u"円", u"1234.5", u"¥1,234.5", u""},
      {false, 3, u"", u"", u"", u"", u""},
  };
  for (const auto& c : cases) {
    e.SetDecimalLength(c.decimals);
    e.SetDecimalFixed(c.fixed);
    e.SetLeftMark(c.left);
    e.SetRightMark(c.right);
    e.SetText(c.text);
    const String shown = e.ValText();
    const int repaints = e.invalidations;
    EXPECT_EQ(e.CaretOffset(c.text), api.Width(c.before) + api.Width(c.after)) << ToUtf8(c.text);
    // Nothing of the borrowed settings stays behind.
    EXPECT_EQ(e.RightMark(), c.right);
    EXPECT_EQ(e.DecimalLength(), c.decimals);
    EXPECT_EQ(e.DecimalFixed(), c.fixed);
    EXPECT_EQ(e.ValText(), shown);
    EXPECT_EQ(e.invalidations, repaints);
  }
}

TEST_F(NumEditCaret, FixedDecimalsPutTheCaretBehindWhatWasTyped) {
  e.SetDecimalFixed(true);
  e.SetText(u"12.5");
  ASSERT_EQ(e.ValText(), u"12.500");
  e.focused = true;
  e.HandleResized();
  // 12.500 is 38 wide and starts at 76; "12" and ".5" take 24 of it.
  EXPECT_EQ(LastCaretPos(), "SetCaretPos(100,2)");
}

TEST_F(NumEditCaret, TheCaretLivesWhileTheFocusDoes) {
  e.SetText(u"5");
  EXPECT_TRUE(api.calls.empty());  // no focus, no caret
  e.focused = true;
  e.HandleFocusGained();
  std::vector<std::string> expected{"CreateCaret(16,0,1,13)"};
  for (int i = 0; i < 2; ++i) {
    const auto move = MoveCalls(114, 2);
    expected.insert(expected.end(), move.begin(), move.end());
  }
  EXPECT_EQ(api.calls, expected);

  api.calls.clear();
  e.focused = false;
  e.HandleFocusLost();
  EXPECT_EQ(api.calls, (std::vector<std::string>{"HideCaret(16)", "DestroyCaret"}));

  // A window without an input context skips the composition window.
  api.calls.clear();
  api.imc = 0;
  e.focused = true;
  e.HandleResized();
  EXPECT_EQ(api.calls, (std::vector<std::string>{"ShowCaret(16)", "SetCaretPos(114,2)"}));
}

TEST_F(NumEditCaret, NoCaretInADesigner) {
  e.designing = true;
  e.focused = true;
  e.HandleFocusGained();
  e.SetText(u"12");
  e.HandleResized();
  e.HandleFontChanged(true);
  e.HandleFocusLost();
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(NumEditCaret, FontChangesRemeasureAndResizeTheCaret) {
  e.focused = true;
  api.fontHeight = 20;
  size_t callsAtBase = 0;
  int copiesAtBase = -1;
  e.HandleFontChanged(true, [&] {
    callsAtBase = api.calls.size();
    copiesAtBase = e.fontCopies;
  });
  // The old caret goes before the base handling, the font is copied after it.
  EXPECT_EQ(callsAtBase, 2u);
  EXPECT_EQ(api.calls[0], "HideCaret(16)");
  EXPECT_EQ(api.calls[1], "DestroyCaret");
  EXPECT_EQ(copiesAtBase, 1);
  EXPECT_EQ(e.fontCopies, 2);
  EXPECT_EQ(api.calls[2], "CreateCaret(16,0,2,20)");
  EXPECT_EQ(e.CaretWidthPx(), 2);
  EXPECT_EQ(e.FontHeight(), 20);
  EXPECT_EQ(e.clientHeights.back(), 24);

  api.calls.clear();
  e.HandleFontChanged(false);
  EXPECT_EQ(api.calls[2], "CreateCaret(16,0,1,20)");
  EXPECT_EQ(e.CaretWidthPx(), 1);

  // Without the focus: measured and resized, but no caret calls.
  api.calls.clear();
  e.focused = false;
  e.HandleFontChanged(true);
  EXPECT_TRUE(api.calls.empty());
  EXPECT_EQ(e.CaretWidthPx(), 2);
}

TEST(NumEditReactions, NotificationsDuringConstructionAreIgnored) {
  FakeNumEditApi api;
  TestNumEdit e(false);
  bool baseRan = false;
  e.HandleFontChanged(true, [&] { baseRan = true; });
  e.HandleCtl3DChanged(true, [&] { baseRan = true; });
  EXPECT_FALSE(baseRan);
  EXPECT_EQ(e.fontCopies, 0);
  EXPECT_EQ(e.recreations, 0);
  EXPECT_EQ(e.CaretWidthPx(), 1);
}

TEST(NumEditReactions, ParentAndMarginsSetTheHeightOnlyWithAutoSize) {
  FakeNumEditApi api;
  TestNumEdit e;
  e.HandleParentAssigned();
  EXPECT_EQ(e.fontCopies, 1);
  e.SetTopMargin(5);
  e.SetBottomMargin(0);
  EXPECT_EQ(e.clientHeights, (std::vector<int32_t>{17, 20, 18}));
  e.SetAutoSize(false);
  e.SetTopMargin(1);
  e.HandleParentAssigned();
  EXPECT_EQ(e.clientHeights.size(), 3u);
  e.SetAutoSize(true);  // turning it on fits the height at once
  EXPECT_EQ(e.clientHeights.back(), 14);
}

TEST(NumEditReactions, ThreeDChangeRecreatesOnlyABorderedNewStyleWindow) {
  FakeNumEditApi api;
  TestNumEdit e;
  e.HandleParentAssigned();
  const std::tuple<TBorderStyle, bool, int> cases[] = {
      {bsSingle, true, 1}, {bsSingle, false, 0}, {bsNone, true, 0}};
  for (const auto& [border, newStyle, recreations] : cases) {
    e.SetBorderStyle(border);
    e.recreations = 0;
    e.clientHeights.clear();
    bool baseRan = false;
    e.HandleCtl3DChanged(newStyle, [&] { baseRan = true; });
    EXPECT_TRUE(baseRan);
    EXPECT_EQ(e.recreations, recreations);
    EXPECT_EQ(e.clientHeights.size(), 1u);
  }
}

struct PaintCase {
  bool enabled;
  bool selected;
  TColor text;
  TColor back;
};

TEST(NumEditPaint, ColoursAndTheTextRectangle) {
  constexpr TColor kFont = 0x112233, kColor = 0x445566, kDisabled = 0x778899;
  const PaintCase cases[] = {
      {true, false, kFont, kColor},
      {true, true, TZuNumEditCore::kColorHighlightText, TZuNumEditCore::kColorHighlight},
      {false, false, kDisabled, kColor},
      {false, true, kDisabled, kColor},
  };
  FakeNumEditApi api;
  TestNumEdit e;
  e.HandleParentAssigned();
  e.SetDisabledColor(kDisabled);
  e.SetRightMark(u"円");
  e.SetText(u"12");
  for (const auto& c : cases) {
    if (c.selected) e.SelectAll();
    else e.ClearSelect();
    const auto plan = e.PlanPaint(c.enabled, kFont, kColor);
    EXPECT_EQ(plan.TextColor, c.text);
    EXPECT_EQ(plan.BackColor, c.back);
    // Only the text's own rectangle: 12円 is 22 wide, right-aligned in 117.
    EXPECT_EQ(plan.Rect, (TTextRect{92, 2, 114, 15}));
    EXPECT_EQ(e.LastDrawRect(), plan.Rect);
  }
  // An empty value leaves an empty rectangle at the text's edge.
  e.SetText(u"");
  EXPECT_EQ(e.PlanPaint(true, kFont, kColor).Rect, (TTextRect{114, 2, 114, 15}));
}

TEST(NumEditPaint, TheMainWindowDisplay) {
  // 45 x 21 with a sunken edge, no automatic height, a taller bold font.
  FakeNumEditApi api;
  api.fontHeight = 15;
  TestNumEdit e;
  e.clientWidth = 41;
  e.clientHeight = 17;
  e.SetAutoSize(false);
  e.SetComma(false);
  e.SetErrorBeep(false);
  e.SetIntegerLength(3);
  e.SetMinus(false);
  e.SetReadOnly(true);
  e.HandleParentAssigned();
  e.SetText(u"120");
  EXPECT_TRUE(e.clientHeights.empty());
  const auto plan = e.PlanPaint(false, 0, 0xF0F0F0);
  EXPECT_EQ(plan.Rect, (TTextRect{17, 1, 38, 16}));  // (17 - 15 - 4) / 2 + 2
  EXPECT_EQ(plan.TextColor, TZuNumEditCore::kColorGrayText);
  EXPECT_EQ(plan.BackColor, 0xF0F0F0u);
}

struct StyleCase {
  TBorderStyle border;
  bool ctl3D;
  bool newStyle;
  uint32_t style, exStyle;
};

TEST(NumEditWindow, CreationStylesFollowTheBorder) {
  constexpr uint32_t kChild = 0x40000000, kBorder = 0x00800000, kEdge = 0x200;
  const StyleCase cases[] = {
      {bsSingle, true, true, kChild, kEdge},
      {bsSingle, false, true, kChild | kBorder, 0},
      {bsSingle, true, false, kChild | kBorder, 0},
      {bsNone, true, true, kChild, 0},
      {bsNone, false, false, kChild, 0},
  };
  for (const auto& c : cases) {
    uint32_t style = kChild, exStyle = 0, classStyle = 0x8 | 0x1 | 0x2;  // CS_DBLCLKS | redraws
    TestNumEdit::AdjustCreateParams(c.border, c.ctl3D, c.newStyle, style, exStyle, classStyle);
    EXPECT_EQ(style, c.style);
    EXPECT_EQ(exStyle, c.exStyle);
    EXPECT_EQ(classStyle, 0x8u);
  }
}

}  // namespace
