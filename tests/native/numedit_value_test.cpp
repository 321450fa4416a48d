// The value model of the numeric edit: filtering, leading zeros, the shown
// form, assignment of Text and what every property setter does.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "FakeNumEditApi.h"

namespace {

struct TextCase {
  const char16_t* input;
  const char16_t* text;
  const char16_t* shown;
};

std::string Show(const String& s) { return "\"" + ToUtf8(s) + "\""; }

TEST(NumEditValue, ConstructionDefaults) {
  FakeNumEditApi api;
  TestNumEdit e;
  EXPECT_EQ(e.Alignment(), taRightJustify);
  EXPECT_EQ(e.VertAlignment(), taVCenter);
  EXPECT_FALSE(e.ArrowFocusMove());
  EXPECT_TRUE(e.AutoSelect());
  EXPECT_TRUE(e.AutoSize());
  EXPECT_EQ(e.BorderStyle(), bsSingle);
  EXPECT_EQ(e.TopMargin(), 2);
  EXPECT_EQ(e.LeftMargin(), 2);
  EXPECT_EQ(e.BottomMargin(), 2);
  EXPECT_EQ(e.RightMargin(), 2);
  EXPECT_TRUE(e.Comma());
  EXPECT_FALSE(e.DecimalFixed());
  EXPECT_EQ(e.DecimalLength(), 3);
  EXPECT_EQ(e.IntegerLength(), 9);
  EXPECT_EQ(e.DisabledColor(), 0xFF000011u);
  EXPECT_FALSE(e.EnterFocusMove());
  EXPECT_TRUE(e.ErrorBeep());
  EXPECT_TRUE(e.HideSelection());
  EXPECT_FALSE(e.ImageCopy());
  EXPECT_TRUE(e.Minus());
  EXPECT_FALSE(e.ReadOnly());
  EXPECT_EQ(e.LeftMark(), u"");
  EXPECT_EQ(e.RightMark(), u"");
  EXPECT_EQ(e.Text(), u"0");
  EXPECT_EQ(e.ValText(), u"0");
  EXPECT_FALSE(e.CanUndo());
  EXPECT_FALSE(e.Modified());
  EXPECT_EQ(e.SelLength(), 0);
  EXPECT_EQ(e.SelStart(), 0);
  EXPECT_EQ(e.CaretWidthPx(), 1);
  EXPECT_EQ(e.FontHeight(), 0);
  EXPECT_FALSE(e.OnChange());
  // Construction sets fields directly: nothing was repainted or resized.
  EXPECT_EQ(e.invalidations, 0);
  EXPECT_TRUE(e.clientHeights.empty());
}

TEST(NumEditValue, AssigningTextUnderTheDefaults) {
  const TextCase cases[] = {
      {u"12a34", u"12", u"12"},
      {u"abc", u"", u""},
      {u"", u"", u""},
      {u" 5", u"", u""},
      {u"1,234,567", u"1234567", u"1,234,567"},
      {u"1,2,3", u"123", u"123"},
      {u"0012", u"12", u"12"},
      {u"000", u"0", u"0"},
      {u"3.14159", u"3.141", u"3.141"},
      {u"1234567890", u"123456789", u"123,456,789"},
      {u"-1234567890", u"-123456789", u"-123,456,789"},
      {u"123456789.1234", u"123456789.123", u"123,456,789.123"},
      {u"1234567890.5", u"", u""},
      {u"--5", u"-", u"-"},
      {u"5-", u"5", u"5"},
      {u",-5", u"", u""},  // a skipped comma still counts: the minus is not first
      {u"1.2.3", u"1.2", u"1.2"},
      {u".", u"0.", u"0."},
      {u".5", u"0.5", u"0.5"},
      {u"00.5", u"0.5", u"0.5"},
      {u"0.0", u"0.0", u"0.0"},
      {u"-00", u"-0", u"-0"},
      {u"-.5", u"-0.5", u"-0.5"},
      {u"-0012.50", u"-12.50", u"-12.50"},
      {u"１２３", u"123", u"123"},
      {u"１，２３４", u"1234", u"1,234"},
      {u"－１２．５", u"-12.5", u"-12.5"},
      {u"１２3４５", u"12345", u"12,345"},
      {u"12\u00A034", u"12", u"12"},
  };
  FakeNumEditApi api;
  for (const auto& c : cases) {
    TestNumEdit e;
    e.SetText(c.input);
    EXPECT_EQ(e.Text(), c.text) << Show(c.input);
    EXPECT_EQ(e.ValText(), c.shown) << Show(c.input);
    EXPECT_EQ(e.ValText(), e.FormatText(e.Text()));
  }
}

TEST(NumEditValue, AssigningTextUnderTheMainWindowSettings) {
  FakeNumEditApi api;
  TestNumEdit e;
  e.SetComma(false);
  e.SetErrorBeep(false);
  e.SetIntegerLength(3);
  e.SetMinus(false);
  e.SetReadOnly(true);
  for (int n = 0; n <= 999; ++n) {
    const String s = IntToStr(n);
    e.SetText(s);
    ASSERT_EQ(e.Text(), s);
    ASSERT_EQ(e.ValText(), s);
  }
  e.SetText(u"1000");
  EXPECT_EQ(e.Text(), u"100");
  e.SetText(u"-5");
  EXPECT_EQ(e.Text(), u"");
  EXPECT_EQ(e.ValText(), u"");
}

TEST(NumEditValue, AssignmentChangesOnlyTheValue) {
  FakeNumEditApi api;
  TestNumEdit e;
  int changes = 0;
  e.SetOnChange([&](TComponent*) { ++changes; });
  e.HandleParentAssigned();
  e.focused = true;
  e.SelectAll();
  e.SetText(u"5");
  const int repaints = e.invalidations;
  EXPECT_GT(repaints, 1);
  EXPECT_NE(std::find(api.calls.begin(), api.calls.end(), "SetCaretPos(114,2)"), api.calls.end());
  // The same text again does nothing at all.
  api.calls.clear();
  e.SetText(u"5");
  EXPECT_EQ(e.invalidations, repaints);
  EXPECT_TRUE(api.calls.empty());
  // A different text that filters to the same value still repaints.
  e.SetText(u"05");
  EXPECT_EQ(e.Text(), u"5");
  EXPECT_EQ(e.invalidations, repaints + 1);
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(e.Modified());
  EXPECT_FALSE(e.CanUndo());
  EXPECT_EQ(e.SelLength(), 1);  // the selection is left as it was
}

struct FormatCase {
  bool comma;
  bool fixed;
  int32_t decimals;
  const char16_t* left;
  const char16_t* right;
  const char16_t* text;
  const char16_t* shown;
};

TEST(NumEditValue, FormatText) {
  const FormatCase cases[] = {
      {true, false, 3, u"", u"", u"1234567", u"1,234,567"},
      {true, false, 3, u"", u"", u"123", u"123"},
      {true, false, 3, u"", u"", u"1234", u"1,234"},
      {true, false, 3, u"", u"", u"123456", u"123,456"},
      {true, false, 3, u"", u"", u"-1234.5", u"-1,234.5"},
      {true, false, 3, u"", u"", u"1234.5678", u"1,234.5678"},  // decimals are never grouped
      {true, false, 3, u"", u"", u"0.", u"0."},
      {true, false, 3, u"", u"", u"-", u"-"},
      {true, false, 3, u"", u"", u"", u""},
      {false, false, 3, u"", u"", u"1234567", u"1234567"},
      {true, true, 2, u"", u"", u"1234.5", u"1,234.50"},
      {true, true, 2, u"", u"", u"7", u"7.00"},
      {true, true, 2, u"", u"", u"-", u"-0.00"},
      {true, true, 2, u"", u"", u"", u"0.00"},
      {true, true, 2, u"", u"", u"1.239", u"1.23"},
      {true, true, 2, u"", u"", u"-0.", u"-0.00"},
      {true, true, 0, u"", u"", u"5", u"5."},
      {true, false, 3, u"[", u"]", u"12", u"[12]"},
      {true, false, 3, u"[", u"]", u"-1234", u"[-1,234]"},
      {true, false, 3, u"[", u"]", u"", u""},  // no number, no marks
      {true, true, 1, u"¥", u"円", u"", u"¥0.0円"},
  };
  FakeNumEditApi api;
  for (const auto& c : cases) {
    TestNumEdit e;
    e.SetComma(c.comma);
    e.SetDecimalLength(c.decimals);
    e.SetDecimalFixed(c.fixed);
    e.SetLeftMark(c.left);
    e.SetRightMark(c.right);
    EXPECT_EQ(e.FormatText(c.text), c.shown) << Show(c.text) << " fixed " << c.fixed;
  }
}

TEST(NumEditValue, StripZeros) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"007", u"7"},  {u"000", u"0"},  {u"00.5", u"0.5"}, {u".5", u"0.5"}, {u"0.0", u"0.0"},
      {u"-00", u"-0"}, {u"-", u"-"},    {u"", u""},        {u"-007.", u"-7."}, {u"100", u"100"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(TZuNumEditCore::StripZeros(in), out) << Show(in);
}

// What a setter did, as the control's window saw it.
struct Effects {
  int repaints;
  size_t heights;
  int recreations;
  std::vector<std::string> calls;
};

struct SetterCase {
  const char* name;
  const char16_t* before;
  std::function<void(TestNumEdit&)> set;
  const char16_t* text;
  const char16_t* shown;
  bool adjustsHeight;
  bool recreates;
  bool movesCaret;
};

TEST(NumEditValue, EverySetterAndItsEffect) {
  const SetterCase cases[] = {
      {"Minus off on -12", u"-12", [](auto& e) { e.SetMinus(false); }, u"", u"", false, false, true},
      {"Minus off on 12", u"12", [](auto& e) { e.SetMinus(false); }, u"12", u"12", false, false, true},
      {"DecimalLength 1", u"2.345", [](auto& e) { e.SetDecimalLength(1); }, u"2.3", u"2.3", false, false, true},
      {"DecimalLength 0", u"2.345", [](auto& e) { e.SetDecimalLength(0); }, u"2", u"2", false, false, true},
      {"IntegerLength 2", u"12345", [](auto& e) { e.SetIntegerLength(2); }, u"12", u"12", false, false, true},
      {"IntegerLength 2 neg", u"-12345", [](auto& e) { e.SetIntegerLength(2); }, u"-12", u"-12", false, false, true},
      {"IntegerLength 2 point", u"123.4", [](auto& e) { e.SetIntegerLength(2); }, u"", u"", false, false, true},
      {"DecimalFixed, no decimals", u"5", [](auto& e) { e.SetDecimalLength(0); e.SetDecimalFixed(true); }, u"5", u"5.", false, false, true},
      {"DecimalFixed", u"1234.5", [](auto& e) { e.SetDecimalFixed(true); }, u"1234.5", u"1,234.500", false, false, true},
      {"Comma off", u"1234567", [](auto& e) { e.SetComma(false); }, u"1234567", u"1234567", false, false, true},
      {"LeftMark", u"1234", [](auto& e) { e.SetLeftMark(u"¥"); }, u"1234", u"¥1,234", false, false, true},
      {"RightMark", u"1234", [](auto& e) { e.SetRightMark(u"円"); }, u"1234", u"1,234円", false, false, true},
      {"Alignment", u"12", [](auto& e) { e.SetAlignment(taCenter); }, u"12", u"12", false, false, true},
      {"VertAlignment", u"12", [](auto& e) { e.SetVertAlignment(taTopJustify); }, u"12", u"12", false, false, true},
      {"LeftMargin", u"12", [](auto& e) { e.SetLeftMargin(5); }, u"12", u"12", false, false, true},
      {"RightMargin", u"12", [](auto& e) { e.SetRightMargin(5); }, u"12", u"12", false, false, true},
      {"TopMargin", u"12", [](auto& e) { e.SetTopMargin(5); }, u"12", u"12", true, false, true},
      {"BottomMargin", u"12", [](auto& e) { e.SetBottomMargin(5); }, u"12", u"12", true, false, true},
      {"AutoSize off", u"12", [](auto& e) { e.SetAutoSize(false); }, u"12", u"12", false, false, true},
      {"BorderStyle", u"12", [](auto& e) { e.SetBorderStyle(bsNone); }, u"12", u"12", true, true, true},
      {"AutoSelect", u"12", [](auto& e) { e.SetAutoSelect(false); }, u"12", u"12", false, false, false},
      {"DisabledColor", u"12", [](auto& e) { e.SetDisabledColor(0x0000FF); }, u"12", u"12", false, false, false},
  };
  FakeNumEditApi api;
  for (const auto& c : cases) {
    TestNumEdit e;
    e.SetText(c.before);
    e.focused = true;
    e.SelectAll();
    const int32_t selected = e.SelLength();
    e.SetModified(true);
    int changes = 0;
    e.SetOnChange([&](TComponent*) { ++changes; });
    e.invalidations = 0;
    e.clientHeights.clear();
    api.calls.clear();
    c.set(e);
    EXPECT_EQ(e.Text(), c.text) << c.name;
    EXPECT_EQ(e.ValText(), c.shown) << c.name;
    EXPECT_GE(e.invalidations, 1) << c.name;
    EXPECT_EQ(!e.clientHeights.empty(), c.adjustsHeight) << c.name;
    EXPECT_EQ(e.recreations, c.recreates ? 1 : 0) << c.name;
    const bool caretMoved =
        std::find(api.calls.begin(), api.calls.end(), "ShowCaret(16)") != api.calls.end();
    EXPECT_EQ(caretMoved, c.movesCaret) << c.name;
    // No setter touches the edit state.
    EXPECT_TRUE(e.Modified()) << c.name;
    EXPECT_FALSE(e.CanUndo()) << c.name;
    EXPECT_EQ(e.SelLength(), selected) << c.name;
    EXPECT_EQ(changes, 0) << c.name;
  }
}

TEST(NumEditValue, SettersIgnoreTheSameValueAndNegativeNumbers) {
  FakeNumEditApi api;
  TestNumEdit e;
  e.SetText(u"12");
  e.invalidations = 0;
  e.SetAlignment(taRightJustify);
  e.SetVertAlignment(taVCenter);
  e.SetAutoSelect(true);
  e.SetAutoSize(true);
  e.SetBorderStyle(bsSingle);
  e.SetComma(true);
  e.SetDecimalFixed(false);
  e.SetDecimalLength(3);
  e.SetIntegerLength(9);
  e.SetMinus(true);
  e.SetLeftMark(u"");
  e.SetRightMark(u"");
  e.SetDisabledColor(0xFF000011);
  for (int32_t v : {2, -1, -100}) {
    e.SetTopMargin(v);
    e.SetLeftMargin(v);
    e.SetBottomMargin(v);
    e.SetRightMargin(v);
  }
  e.SetIntegerLength(-1);
  e.SetDecimalLength(-1);
  EXPECT_EQ(e.invalidations, 0);
  EXPECT_EQ(e.recreations, 0);
  EXPECT_TRUE(e.clientHeights.empty());
  EXPECT_EQ(e.TopMargin(), 2);
  EXPECT_EQ(e.LeftMargin(), 2);
  EXPECT_EQ(e.BottomMargin(), 2);
  EXPECT_EQ(e.RightMargin(), 2);
  EXPECT_EQ(e.IntegerLength(), 9);
  EXPECT_EQ(e.DecimalLength(), 3);
  // Zero is a valid length: no digits before the point at all.
  e.SetIntegerLength(0);
  EXPECT_EQ(e.Text(), u"");
  e.SetText(u".25");
  EXPECT_EQ(e.Text(), u"0.25");
}

// A descendant may replace filtering and formatting.
class TPercentEdit : public TestNumEdit {
public:
  TPercentEdit() : TestNumEdit(false) { EndInit(); }
  String FormatText(const String& s) const override { return TestNumEdit::FormatText(s) + u" %"; }
  String FilterText(const String& s) const override {
    String digits;
    for (char16_t c : s)
      if (c >= u'0' && c <= u'9') digits += c;
    return digits.substr(0, 3);
  }
};

TEST(NumEditValue, DescendantsReplaceFilteringAndFormatting) {
  FakeNumEditApi api;
  TPercentEdit e;
  EXPECT_EQ(e.ValText(), e.Text() + u" %") << "the first value, formatted when construction is complete";
  e.SetText(u"a1b2c3d4");
  EXPECT_EQ(e.Text(), u"123");
  EXPECT_EQ(e.ValText(), u"123 %");
  e.SetComma(false);  // a setter formats through the override as well
  EXPECT_EQ(e.ValText(), u"123 %");
}

}  // namespace
