// Editing the numeric edit: keys, characters, selection, clipboard, undo,
// focus, mouse, and when Modified and OnChange change.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "FakeNumEditApi.h"

namespace {

constexpr uint16_t kBack = 0x08, kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24,
                   kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28, kDelete = 0x2E;
constexpr uint8_t kShift = TZuNumEditCore::ksShift, kCtrl = TZuNumEditCore::ksCtrl,
                  kAlt = TZuNumEditCore::ksAlt;
const char* kPostNext = "PostMessageW(32,40,0,0)";
const char* kPostPrevious = "PostMessageW(32,40,4294967295,0)";

std::string Show(const String& s) { return "\"" + ToUtf8(s) + "\""; }

class NumEditEditing : public testing::Test {
public:
  FakeNumEditApi api;
  TestNumEdit e;
  int changes = 0;
  std::vector<TComponent*> senders;

  void SetUp() override {
    e.HandleParentAssigned();
    e.SetOnChange([this](TComponent* sender) {
      ++changes;
      senders.push_back(sender);
    });
  }
  // Starts from a value as if the user had not touched the control yet.
  void Start(const String& text, bool selected = false) {
    e.SetText(text);
    if (selected) e.SelectAll();
    else e.ClearSelect();
    e.ClearUndo();
    e.SetModified(false);
    changes = 0;
    api.beeps = 0;
    api.calls.clear();
  }
  // Types each character; returns whether every one was consumed.
  bool Type(StringView chars) {
    bool consumed = true;
    for (char16_t c : chars) {
      char16_t key = c;
      e.HandleKeyPress(key);
      consumed = consumed && key == 0;
    }
    return consumed;
  }
  uint16_t Key(uint16_t vk, uint8_t shift = 0) {
    e.HandleKeyDown(vk, shift);
    return vk;
  }
  bool Posted(const char* call) const {
    return std::find(api.calls.begin(), api.calls.end(), call) != api.calls.end();
  }
  bool Selected() const { return e.SelLength() > 0; }
};

TEST_F(NumEditEditing, TypingAppendsLikeACalculator) {
  Start(u"0");
  const char16_t* steps[] = {u"1", u"12", u"123", u"1234"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(Type(String(1, static_cast<char16_t>(u'1' + i))));
    EXPECT_EQ(e.Text(), steps[i]);
  }
  EXPECT_EQ(e.ValText(), u"1,234");
  EXPECT_TRUE(e.Modified());
  EXPECT_TRUE(e.CanUndo());
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(senders.back(), &e);
  EXPECT_EQ(api.beeps, 0);
}

struct TypeCase {
  const char* name;
  std::function<void(TestNumEdit&)> setup;
  const char16_t* start;
  const char16_t* keys;
  const char16_t* text;
  int beeps;
};

TEST_F(NumEditEditing, TypingTable) {
  const auto none = [](TestNumEdit&) {};
  const TypeCase cases[] = {
      {"fourth digit over IntegerLength 3", [](auto& e) { e.SetIntegerLength(3); }, u"0", u"1234", u"123", 1},
      {"decimals after a full integer part", [](auto& e) { e.SetIntegerLength(3); }, u"0", u"123.4", u"123.4", 0},
      {"fourth decimal", none, u"0", u"1.2345", u"1.234", 1},
      {"the zero is the one digit allowed", [](auto& e) { e.SetIntegerLength(1); }, u"0", u"5", u"0", 1},
      {"the minus is no digit", [](auto& e) { e.SetIntegerLength(2); }, u"-12", u"3", u"-12", 1},
      {"leading zero goes", none, u"0", u"07", u"7", 0},
      {"digit on the empty value", none, u"", u"5", u"5", 0},
      {"digits after a lone minus", none, u"-", u"12", u"-12", 0},
      {"minus on zero", none, u"0", u"-", u"-1", 0},
      {"minus on zero with fixed decimals", [](auto& e) { e.SetDecimalFixed(true); }, u"0", u"-", u"-0", 0},
      {"minus on minus twelve", none, u"-12", u"-", u"12", 0},
      {"minus goes in front", none, u"5", u"-", u"-5", 0},
      {"minus on a lone minus", none, u"-", u"-", u"", 0},
      {"minus refused", [](auto& e) { e.SetMinus(false); }, u"5", u"-", u"5", 1},
      {"point on zero", none, u"0", u".", u"0.", 0},
      {"point on the empty value", none, u"", u".", u"0.", 0},
      {"point on a lone minus", none, u"-", u".", u"-0.", 0},
      {"second point", none, u"1.5", u".", u"1.5", 1},
      {"point without decimals", [](auto& e) { e.SetDecimalLength(0); }, u"5", u".", u"5", 1},
      {"refused characters", none, u"5", u"a, +\x1A\x1B\x09\xFF15", u"5", 8},
      {"Enter without a focus move", none, u"5", u"\r", u"5", 1},
      {"refusals are silent without ErrorBeep", [](auto& e) { e.SetErrorBeep(false); }, u"5", u"a\r", u"5", 0},
      {"control characters of handled keys", none, u"5", u"\x01\x03\x08\x16\x18", u"5", 0},
  };
  for (const auto& c : cases) {
    c.setup(e);
    Start(c.start);
    EXPECT_TRUE(Type(c.keys)) << c.name;
    EXPECT_EQ(e.Text(), c.text) << c.name;
    EXPECT_EQ(e.ValText(), e.FormatText(e.Text())) << c.name;
    EXPECT_EQ(api.beeps, c.beeps) << c.name;
    // Refusals change nothing.
    if (String(c.text) == c.start) {
      EXPECT_FALSE(e.Modified()) << c.name;
      EXPECT_EQ(changes, 0) << c.name;
    }
    // Back to the defaults for the next row.
    e.SetIntegerLength(9);
    e.SetDecimalLength(3);
    e.SetDecimalFixed(false);
    e.SetMinus(true);
    e.SetErrorBeep(true);
  }
}

TEST_F(NumEditEditing, MinusOnZeroWithoutIntegerDigitsKeepsTheZero) {
  e.SetIntegerLength(0);
  e.Clear();  // the one value with a digit that IntegerLength 0 still allows
  Type(u"-");
  EXPECT_EQ(e.Text(), u"-0");
  Type(u".5");
  EXPECT_EQ(e.Text(), u"-0.5");
}

struct WidthCase {
  int32_t clientWidth;
  bool comma;
  TBorderStyle border;
  bool ctl3D;
  const char16_t* rightMark;
  const char16_t* start;
  const char16_t* keys;
  const char16_t* text;
};

// Digits are 7 pixels wide, "," and "." 3, "-" 5, the mark 8.
TEST_F(NumEditEditing, KeystrokesThatWouldNotFitAreRefused) {
  const WidthCase cases[] = {
      {38, true, bsSingle, true, u"", u"0", u"1234", u"123"},     // 1,234 is 31 > 30
      {39, true, bsSingle, true, u"", u"0", u"1234", u"1234"},    // exactly fills 31
      {38, false, bsSingle, true, u"", u"0", u"12345", u"1234"},  // 35 > 30
      {38, false, bsSingle, true, u"円", u"0", u"1234", u"123"},  // the mark counts
      {37, true, bsNone, true, u"", u"0", u"1234", u"1234"},      // a flat border takes 1 a side
      {37, true, bsSingle, false, u"", u"0", u"1234", u"1234"},
      {36, true, bsSingle, false, u"", u"0", u"1234", u"123"},
      {26, true, bsNone, true, u"", u"0", u"1234", u"12"},
      {38, false, bsSingle, true, u"", u"1234", u"-", u"1234"},  // -1234 is 33
      {38, false, bsSingle, true, u"", u"-1234", u"-", u"1234"},  // removing never needs room
      {38, false, bsSingle, true, u"", u"123", u".", u"123."},
      {24, false, bsSingle, true, u"", u"12", u".", u"12"},  // 12. is 17 > 16
  };
  for (const auto& c : cases) {
    e.clientWidth = c.clientWidth;
    e.SetComma(c.comma);
    e.SetBorderStyle(c.border);
    e.ctl3D = c.ctl3D;
    e.SetRightMark(c.rightMark);
    Start(c.start);
    Type(c.keys);
    EXPECT_EQ(e.Text(), c.text) << c.clientWidth << " " << Show(c.keys);
    EXPECT_LE(e.ShownWidth(e.Text()), e.TextAreaWidth());
  }
}

TEST_F(NumEditEditing, ThePointIsMeasuredWithTheZeroItGains) {
  // "-." (8) would fit in 14 pixels, but what is shown is "-0." (15).
  e.clientWidth = 8 + 14;
  Start(u"-");
  Type(u".");
  EXPECT_EQ(e.Text(), u"-");
  EXPECT_EQ(api.beeps, 1);
  e.clientWidth = 8 + 15;
  Type(u".");
  EXPECT_EQ(e.Text(), u"-0.");
}

TEST_F(NumEditEditing, TypingOverASelection) {
  Start(u"12");
  e.HandleEnter();  // Tab into the control: AutoSelect
  ASSERT_EQ(e.SelLength(), 2);
  Type(u"7");
  EXPECT_EQ(e.Text(), u"7");
  EXPECT_FALSE(Selected());
  EXPECT_TRUE(e.Modified());
  // Clear saved 12, then the commit saved 0: undo goes back to 0, then to 7.
  e.Undo();
  EXPECT_EQ(e.Text(), u"0");
  EXPECT_EQ(e.SelLength(), 1);
  e.Undo();
  EXPECT_EQ(e.Text(), u"7");

  Start(u"12", true);
  Type(u"-");
  EXPECT_EQ(e.Text(), u"-1");
  Start(u"12", true);
  Type(u".");
  EXPECT_EQ(e.Text(), u"0.");
}

TEST_F(NumEditEditing, RefusalsOverASelection) {
  // Refused before anything happens: the selection stays.
  e.SetMinus(false);
  Start(u"12", true);
  Type(u"-");
  EXPECT_EQ(e.Text(), u"12");
  EXPECT_TRUE(Selected());
  e.SetDecimalLength(0);
  Type(u".");
  EXPECT_EQ(e.Text(), u"12");
  EXPECT_TRUE(Selected());
  EXPECT_EQ(api.beeps, 2);
  // Refused after the value was cleared: it stays cleared.
  e.SetIntegerLength(1);
  Start(u"5", true);
  e.SetModified(true);
  Type(u"7");
  EXPECT_EQ(e.Text(), u"0");
  EXPECT_FALSE(Selected());
  EXPECT_FALSE(e.Modified());
  EXPECT_EQ(api.beeps, 1);
  EXPECT_EQ(changes, 0);
}

TEST_F(NumEditEditing, BackspaceAndDeleteTakeTheLastCharacter) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"12.5", u"12"}, {u"1.25", u"1.2"}, {u"-5", u"0"},  {u"5", u"0"},   {u"0", u"0"},
      {u"123", u"12"},  {u"-12", u"-1"},   {u"-0.", u"-0"}, {u"0.", u"0"},
  };
  for (uint16_t vk : {kBack, kDelete}) {
    for (const auto& [start, text] : cases) {
      Start(start);
      EXPECT_EQ(Key(vk), 0);
      EXPECT_EQ(e.Text(), text) << Show(start);
      // Even 0 to 0 is a change.
      EXPECT_TRUE(e.Modified()) << Show(start);
      EXPECT_TRUE(e.CanUndo()) << Show(start);
      EXPECT_EQ(changes, 1) << Show(start);
    }
  }
}

TEST_F(NumEditEditing, BackspaceOnTheEmptyValueOrASelection) {
  Start(u"abc");
  ASSERT_EQ(e.Text(), u"");
  Key(kBack);
  EXPECT_EQ(e.Text(), u"0");
  EXPECT_EQ(e.ValText(), u"0");
  EXPECT_FALSE(e.CanUndo());
  EXPECT_FALSE(e.Modified());
  EXPECT_EQ(changes, 0);

  Start(u"1234", true);
  e.SetModified(true);
  Key(kDelete);
  EXPECT_EQ(e.Text(), u"0");
  EXPECT_FALSE(e.Modified());
  EXPECT_TRUE(e.CanUndo());
  EXPECT_EQ(changes, 0);
}

struct KeyCase {
  const char* name;
  uint16_t key;
  uint8_t shift;
  bool readOnly;
  bool consumed;
  bool selectedAfter;  // the case starts with everything selected
  const char16_t* text;
  const char* posted;  // nullptr: nothing posted
};

TEST_F(NumEditEditing, KeyDownTable) {
  const KeyCase cases[] = {
      {"Shift+Left", kLeft, kShift, false, true, true, u"1234.5", nullptr},
      {"Shift+Right", kRight, kShift, false, true, true, u"1234.5", nullptr},
      {"Ctrl+A", 'A', kCtrl, false, true, true, u"1234.5", nullptr},
      {"Ctrl+C", 'C', kCtrl, false, true, true, u"1234.5", nullptr},
      {"Home", kHome, 0, false, true, false, u"1234.5", nullptr},
      {"End", kEnd, 0, false, true, false, u"1234.5", nullptr},
      {"Page Up", kPrior, 0, false, true, false, u"1234.5", nullptr},
      {"Page Down", kNext, 0, false, true, false, u"1234.5", nullptr},
      {"Left", kLeft, 0, false, true, false, u"1234.5", nullptr},
      {"Right", kRight, 0, false, true, false, u"1234.5", nullptr},
      {"Up", kUp, 0, false, true, false, u"1234.5", kPostPrevious},
      {"Down", kDown, 0, false, true, false, u"1234.5", kPostNext},
      {"Ctrl+V", 'V', kCtrl, false, true, false, u"1234.59", nullptr},
      {"Ctrl+X", 'X', kCtrl, false, true, false, u"0", nullptr},
      {"Backspace", kBack, 0, false, true, false, u"0", nullptr},
      {"Ctrl+Shift+A", 'A', kCtrl | kShift, false, false, true, u"1234.5", nullptr},
      {"Alt+Left", kLeft, kAlt, false, false, true, u"1234.5", nullptr},
      {"Shift+Home", kHome, kShift, false, false, true, u"1234.5", nullptr},
      {"Shift+Backspace", kBack, kShift, false, false, true, u"1234.5", nullptr},
      {"Ctrl+Z", 'Z', kCtrl, false, false, true, u"1234.5", nullptr},
      {"read-only Ctrl+A", 'A', kCtrl, true, true, true, u"1234.5", nullptr},
      {"read-only Ctrl+C", 'C', kCtrl, true, true, true, u"1234.5", nullptr},
      {"read-only Home", kHome, 0, true, true, false, u"1234.5", nullptr},
      {"read-only Down", kDown, 0, true, true, false, u"1234.5", kPostNext},
      {"read-only Ctrl+V", 'V', kCtrl, true, false, false, u"1234.5", nullptr},
      {"read-only Ctrl+X", 'X', kCtrl, true, false, true, u"1234.5", nullptr},
      {"read-only Backspace", kBack, 0, true, false, true, u"1234.5", nullptr},
      {"read-only Delete", kDelete, 0, true, false, true, u"1234.5", nullptr},
  };
  e.SetArrowFocusMove(true);
  for (const auto& c : cases) {
    e.SetReadOnly(c.readOnly);
    Start(u"1234.5", true);
    api.clipboard = u"9";
    // Ctrl+V appends only to a value that is not selected.
    if (c.key == 'V') e.ClearSelect();
    EXPECT_EQ(Key(c.key, c.shift) == 0, c.consumed) << c.name;
    EXPECT_EQ(Selected(), c.selectedAfter) << c.name;
    EXPECT_EQ(e.Text(), c.text) << c.name;
    EXPECT_EQ(api.calls.size() == 1 && api.calls[0] == (c.posted ? c.posted : ""),
              c.posted != nullptr)
        << c.name;
    if (c.key == 'C' || c.key == 'X') {
      EXPECT_EQ(api.clipboard, c.consumed ? u"1234.5" : u"9") << c.name;
    }
    EXPECT_EQ(api.beeps, 0) << c.name;
  }
}

TEST_F(NumEditEditing, ArrowsMoveTheFocusOnlyWhenAskedAndWithAForm) {
  Start(u"5");
  EXPECT_EQ(Key(kUp), 0);
  EXPECT_EQ(Key(kDown), 0);
  EXPECT_TRUE(api.calls.empty());
  e.SetArrowFocusMove(true);
  e.form = 0;
  EXPECT_EQ(Key(kDown), 0);
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(NumEditEditing, ReadOnlySwallowsEveryCharacterSilently) {
  e.SetReadOnly(true);
  e.SetEnterFocusMove(true);
  Start(u"12");
  EXPECT_TRUE(Type(u"5-.a\r\x08\x1B"));
  EXPECT_EQ(e.Text(), u"12");
  EXPECT_EQ(api.beeps, 0);
  EXPECT_TRUE(api.calls.empty());  // Enter moved nothing
  // The methods still act.
  e.SelectAll();
  e.CutToClipboard();
  EXPECT_EQ(e.Text(), u"0");
}

TEST_F(NumEditEditing, EnterAndEscape) {
  Start(u"12");
  e.SetEnterFocusMove(true);
  EXPECT_TRUE(Type(u"\r"));
  EXPECT_TRUE(Posted(kPostNext));
  EXPECT_EQ(api.beeps, 0);
  // With no form to move in, Enter is left to others.
  e.form = 0;
  api.calls.clear();
  EXPECT_FALSE(Type(u"\r"));
  EXPECT_TRUE(api.calls.empty());
  // Escape reaches the control and is refused.
  EXPECT_TRUE(Type(u"\x1B"));
  EXPECT_EQ(api.beeps, 1);
  EXPECT_EQ(e.Text(), u"12");
}

TEST_F(NumEditEditing, KeysTakenByTheEventsAreLeftAlone) {
  Start(u"12");
  uint16_t vk = kBack;
  e.HandleKeyDown(vk, 0, [&] { vk = 0; });
  char16_t ch = u'5';
  e.HandleKeyPress(ch, [&] { ch = 0; });
  EXPECT_EQ(e.Text(), u"12");
  EXPECT_EQ(api.beeps, 0);
  // An event may also change the key before the control sees it.
  vk = kHome;
  e.HandleKeyDown(vk, 0, [&] { vk = kBack; });
  ch = u'a';
  e.HandleKeyPress(ch, [&] { ch = u'7'; });
  EXPECT_EQ(e.Text(), u"17");
}

struct PasteCase {
  const char16_t* start;
  bool selected;
  const char16_t* clip;
  const char16_t* text;
};

TEST_F(NumEditEditing, PasteAppendsOrReplaces) {
  const PasteCase cases[] = {
      {u"12", false, u"34", u"1234"},
      {u"0", true, u"1,234.5678", u"1234.567"},
      {u"12", true, u"x12", u""},
      {u"12", false, u"x12", u"12"},
      {u"12", false, u"-5", u"12"},
      {u"12", true, u"００７", u"7"},
      {u"", false, u"5", u"5"},
      {u"-", false, u"5", u"-5"},
      {u"12", false, u"12345678901", u"121234567"},
  };
  e.clientWidth = 20;  // pasting ignores the width
  for (const auto& c : cases) {
    Start(c.start, c.selected);
    api.clipboard = c.clip;
    Key('V', kCtrl);
    EXPECT_EQ(e.Text(), c.text) << Show(c.clip);
    EXPECT_EQ(e.ValText(), e.FormatText(e.Text()));
    EXPECT_FALSE(Selected());
    EXPECT_FALSE(e.Modified());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(api.beeps, 0);
    e.Undo();
    EXPECT_EQ(e.Text(), c.start);
  }
}

TEST_F(NumEditEditing, PasteWithoutClipboardTextDoesNothing) {
  Start(u"12", true);
  api.clipboard.reset();
  e.PasteFromClipboard();
  // The clipboard says it has text but cannot be read.
  api.clipboard = u"34";
  api.clipboardBusy = true;
  e.PasteFromClipboard();
  EXPECT_EQ(e.Text(), u"12");
  EXPECT_TRUE(Selected());
  EXPECT_FALSE(e.CanUndo());
  EXPECT_EQ(changes, 0);
}

TEST_F(NumEditEditing, CopyPutsTheValueOrTheShownText) {
  for (bool image : {false, true}) {
    e.SetImageCopy(image);
    Start(u"1234.5");
    api.clipboard = u"keep";
    e.CopyToClipboard();  // nothing selected
    EXPECT_EQ(api.clipboard, u"keep");
    e.SelectAll();
    e.CopyToClipboard();
    EXPECT_EQ(api.clipboard, image ? u"1,234.5" : u"1234.5");
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(Selected());
  }
}

TEST_F(NumEditEditing, CutCopiesClearsAndReports) {
  Start(u"1234.5");
  api.clipboard = u"keep";
  e.CutToClipboard();
  EXPECT_EQ(api.clipboard, u"keep");
  EXPECT_EQ(e.Text(), u"1234.5");
  EXPECT_EQ(changes, 0);

  e.SelectAll();
  e.SetModified(true);
  e.CutToClipboard();
  EXPECT_EQ(api.clipboard, u"1234.5");
  EXPECT_EQ(e.Text(), u"0");
  EXPECT_FALSE(e.Modified());
  EXPECT_EQ(changes, 1);
  e.Undo();
  EXPECT_EQ(e.Text(), u"1234.5");
}

TEST_F(NumEditEditing, CutKeepsTheValueWhenTheClipboardRefuses) {
  Start(u"1234.5", true);
  api.clipboardBusy = true;
  Key('X', kCtrl);
  EXPECT_EQ(e.Text(), u"1234.5");
  EXPECT_TRUE(Selected());
  EXPECT_EQ(changes, 0);
}

TEST_F(NumEditEditing, UndoExchangesOneStep) {
  Start(u"12");
  e.Undo();  // nothing to undo
  EXPECT_EQ(e.Text(), u"12");
  EXPECT_EQ(changes, 0);

  Type(u"345");
  e.SetIntegerLength(3);
  ASSERT_EQ(e.Text(), u"123");
  e.SetModified(false);
  e.Undo();
  // The old value comes back as it was, past the new limit.
  EXPECT_EQ(e.Text(), u"1234");
  EXPECT_EQ(e.ValText(), u"1,234");
  EXPECT_EQ(e.SelLength(), 5);
  EXPECT_FALSE(e.Modified());
  EXPECT_EQ(changes, 4);
  e.Undo();
  EXPECT_EQ(e.Text(), u"123");
  EXPECT_TRUE(e.CanUndo());
  e.ClearUndo();
  EXPECT_FALSE(e.CanUndo());
  e.Undo();
  EXPECT_EQ(e.Text(), u"123");
}

struct ChangeCase {
  const char* name;
  const char16_t* start;
  std::function<void(NumEditEditing&, TestNumEdit&)> prepare;
  std::function<void(NumEditEditing&, TestNumEdit&)> act;
  bool modifiedFromFalse;
  bool modifiedFromTrue;
  int changes;
};

TEST_F(NumEditEditing, ModifiedAndOnChangeAfterEachKindOfChange) {
  const auto nothing = [](NumEditEditing&, TestNumEdit&) {};
  const auto select = [](NumEditEditing&, TestNumEdit& e) { e.SelectAll(); };
  const ChangeCase cases[] = {
      {"typed digit", u"12", nothing, [](auto& t, auto&) { t.Type(u"5"); }, true, true, 1},
      {"typed point", u"12", nothing, [](auto& t, auto&) { t.Type(u"."); }, true, true, 1},
      {"minus added", u"12", nothing, [](auto& t, auto&) { t.Type(u"-"); }, true, true, 1},
      {"minus removed", u"-12", nothing, [](auto& t, auto&) { t.Type(u"-"); }, true, true, 1},
      {"Backspace", u"12", nothing, [](auto& t, auto&) { t.Key(kBack); }, true, true, 1},
      {"Backspace on a selection", u"12", select, [](auto& t, auto&) { t.Key(kBack); }, false, false, 0},
      {"refused key", u"12", nothing, [](auto& t, auto&) { t.Type(u"a"); }, false, true, 0},
      {"Clear", u"12", nothing, [](auto&, auto& e) { e.Clear(); }, false, false, 0},
      {"ClearSelection", u"12", select, [](auto&, auto& e) { e.ClearSelection(); }, false, false, 0},
      {"ClearSelection, nothing selected", u"12", nothing, [](auto&, auto& e) { e.ClearSelection(); }, false, true, 0},
      {"cut", u"12", select, [](auto&, auto& e) { e.CutToClipboard(); }, false, false, 1},
      {"paste", u"12", nothing, [](auto&, auto& e) { e.PasteFromClipboard(); }, false, true, 1},
      {"undo", u"12", [](auto& t, auto&) { t.Type(u"3"); }, [](auto&, auto& e) { e.Undo(); }, false, true, 1},
      {"Text assigned", u"12", nothing, [](auto&, auto& e) { e.SetText(u"99"); }, false, true, 0},
      {"setter", u"12", nothing, [](auto&, auto& e) { e.SetIntegerLength(1); }, false, true, 0},
      {"focus exit with a lone minus", u"-", nothing, [](auto&, auto& e) { e.HandleExit(); }, false, true, 0},
      {"SelectAll", u"12", nothing, [](auto&, auto& e) { e.SelectAll(); }, false, true, 0},
  };
  for (const auto& c : cases) {
    for (bool before : {false, true}) {
      Start(c.start);
      api.clipboard = u"3";
      c.prepare(*this, e);
      e.SetModified(before);
      changes = 0;
      c.act(*this, e);
      EXPECT_EQ(e.Modified(), before ? c.modifiedFromTrue : c.modifiedFromFalse) << c.name;
      EXPECT_EQ(changes, c.changes) << c.name;
    }
  }
}

TEST_F(NumEditEditing, FocusEntrySelectsAfterOnEnter) {
  Start(u"12");
  bool selectedInEvent = true;
  e.HandleEnter([&] { selectedInEvent = Selected(); });
  EXPECT_FALSE(selectedInEvent);
  EXPECT_EQ(e.SelLength(), 2);
  e.SetAutoSelect(false);
  Start(u"12");
  e.HandleEnter();
  EXPECT_FALSE(Selected());
}

TEST_F(NumEditEditing, FocusExitMendsALoneMinusAndDropsTheSelection) {
  Start(u"-", true);
  String textInEvent;
  e.HandleExit([&] { textInEvent = e.Text(); });
  EXPECT_EQ(textInEvent, u"-");
  EXPECT_EQ(e.Text(), u"0");
  EXPECT_EQ(e.ValText(), u"0");
  EXPECT_FALSE(Selected());
  EXPECT_FALSE(e.CanUndo());
  EXPECT_EQ(changes, 0);

  e.SetHideSelection(false);
  for (const char16_t* kept : {u"-0", u"0.", u"12"}) {
    Start(kept, true);
    e.HandleExit();
    EXPECT_EQ(e.Text(), kept);
    EXPECT_TRUE(Selected());
  }
}

TEST_F(NumEditEditing, LeftPressTakesTheFocusAndClearsTheSelection) {
  // Taking the focus runs focus entry, which selects everything first.
  api.onSetFocus = [&](uintptr_t) { e.HandleEnter(); };
  Start(u"12", true);
  bool selectedInEvent = true;
  e.HandleMouseDown(true, [&] { selectedInEvent = Selected(); });
  EXPECT_TRUE(Posted("SetFocus(16)"));
  EXPECT_FALSE(selectedInEvent);
  EXPECT_FALSE(Selected());

  // Another program is in front: no focus, but the selection still goes.
  api.inForeground = false;
  Start(u"12", true);
  e.HandleMouseDown(true);
  EXPECT_TRUE(api.calls.empty());
  EXPECT_FALSE(Selected());

  // Other buttons change nothing.
  Start(u"12", true);
  bool eventRan = false;
  e.HandleMouseDown(false, [&] { eventRan = true; });
  EXPECT_TRUE(eventRan);
  EXPECT_TRUE(Selected());
}

TEST_F(NumEditEditing, DoubleClickSelectsAndTheSecondPressKeepsIt) {
  Start(u"12");
  bool selectedInEvent = false;
  e.HandleDblClick([&] { selectedInEvent = Selected(); });
  EXPECT_TRUE(selectedInEvent);
  e.HandleMouseDown(true);  // the second press of the double-click
  EXPECT_TRUE(Selected());
  EXPECT_TRUE(api.calls.empty());
  e.HandleMouseDown(true);  // a later press
  EXPECT_FALSE(Selected());
}

TEST_F(NumEditEditing, DraggingOverTheDrawnNumberSelectsIt) {
  Start(u"1234");
  e.PlanPaint(true, 0, 0);
  const TTextRect r = e.LastDrawRect();
  ASSERT_EQ(r.Right - r.Left, 31);
  const std::tuple<bool, int32_t, bool> cases[] = {
      {true, r.Left, true},  {true, r.Right, true},  {true, (r.Left + r.Right) / 2, true},
      {true, r.Left - 1, false}, {true, r.Right + 1, false}, {false, r.Left + 5, false},
  };
  for (const auto& [held, x, selects] : cases) {
    e.ClearSelect();
    bool selectedInEvent = false;
    e.HandleMouseMove(held, x, [&] { selectedInEvent = Selected(); });
    EXPECT_EQ(Selected(), selects) << x;
    EXPECT_EQ(selectedInEvent, selects) << x;
  }
}

TEST_F(NumEditEditing, DialogCodeAndInputMethodCharacters) {
  EXPECT_EQ(e.DialogCode(), 0x81u);
  e.SetEnterFocusMove(true);
  EXPECT_EQ(e.DialogCode(), 0x85u);

  const std::pair<char16_t, char16_t> map[] = {
      {0xFF10, u'0'}, {0xFF19, u'9'}, {0xFF15, u'5'}, {0xFF0D, u'-'}, {0xFF0E, u'.'},
      {0xFF0C, 0xFF0C}, {u'5', u'5'}, {0x3042, 0x3042}, {0xFF1A, 0xFF1A}, {0xFF0F, 0xFF0F},
  };
  for (const auto& [in, out] : map) EXPECT_EQ(TestNumEdit::MapImeChar(in), out) << int(in);
}

}  // namespace
