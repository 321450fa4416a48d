#include "numedit/ZuNumEdit.h"

#include <algorithm>
#include <utility>

namespace {

constexpr uint16_t kVkBack = 0x08;
constexpr uint16_t kVkPrior = 0x21;
constexpr uint16_t kVkNext = 0x22;
constexpr uint16_t kVkEnd = 0x23;
constexpr uint16_t kVkHome = 0x24;
constexpr uint16_t kVkLeft = 0x25;
constexpr uint16_t kVkUp = 0x26;
constexpr uint16_t kVkRight = 0x27;
constexpr uint16_t kVkDown = 0x28;
constexpr uint16_t kVkDelete = 0x2E;

// The value that clearing leaves. Assigned as a string rather than a literal,
// which also keeps GCC 12's -Wrestrict false alarm on short literals away.
const String kZero(u"0");

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Full-width digits, minus and full stop as their ASCII forms; 0 for the
// full-width comma, which is dropped; anything else unchanged.
char16_t NarrowChar(char16_t c) {
  if (c >= 0xFF10 && c <= 0xFF19) return static_cast<char16_t>(u'0' + (c - 0xFF10));
  if (c == 0xFF0D) return u'-';
  if (c == 0xFF0E) return u'.';
  if (c == 0xFF0C) return 0;
  return c;
}

// Sets a field for the length of a scope and puts the old value back.
template <typename T>
class TTemporary {
public:
  TTemporary(T& field, T value) : FField(field), FOld(std::exchange(field, std::move(value))) {}
  ~TTemporary() { FField = std::move(FOld); }
  TTemporary(const TTemporary&) = delete;
  TTemporary& operator=(const TTemporary&) = delete;

private:
  T& FField;
  T FOld;
};

}  // namespace

TZuNumEditCore::TZuNumEditCore() = default;

void TZuNumEditCore::EndInit() {
  // Only now does FormatText reach a descendant's override.
  FValText = FormatText(FText);
  NowInit = false;
}

// ---- text routines ----------------------------------------------------------

String TZuNumEditCore::FilterText(const String& s) const {
  String r;
  r.reserve(s.size());
  size_t i = 0;  // position in the narrowed text, skipped commas included
  bool point = false;
  for (char16_t raw : s) {
    const char16_t c = NarrowChar(raw);
    if (c == 0) continue;  // full-width comma: not part of the narrowed text
    ++i;
    if (c == u',') continue;
    if (c == u'.') {
      if (FDecimalLength == 0 || point) break;
      point = true;
    } else if (c == u'-') {
      if (!FMinus || i > 1) break;
    } else if (!IsDigit(c)) {
      break;
    }
    r += c;
  }
  if (r.empty()) return r;

  const size_t neg = r[0] == u'-' ? 1 : 0;
  const size_t p = r.find(u'.');
  const size_t decimals = static_cast<size_t>(FDecimalLength);
  const size_t integers = static_cast<size_t>(FIntegerLength);
  if (p != String::npos) {
    if (r.size() - p - 1 > decimals) r.resize(p + 1 + decimals);
    // With a point, too long an integer part voids the whole text.
    if (p - neg > integers) r.clear();
  } else if (r.size() - neg > integers) {
    r.resize(neg + integers);
  }
  return r;
}

String TZuNumEditCore::StripZeros(const String& s) {
  const bool neg = !s.empty() && s[0] == u'-';
  const StringView body = StringView(s).substr(neg ? 1 : 0);
  const size_t zeros = std::min(body.find_first_not_of(u'0'), body.size());
  String r(body.substr(zeros));
  if (r.empty() && zeros > 0) r = kZero;
  if (!r.empty() && r[0] == u'.') r.insert(r.begin(), u'0');
  if (neg) r.insert(r.begin(), u'-');
  return r;
}

String TZuNumEditCore::FormatText(const String& s) const {
  String work = s;
  const size_t m = work.find(u'-');
  if (m != String::npos) work.erase(m, 1);

  const size_t d = work.find(u'.');
  String integer = work.substr(0, d);
  String fraction = d != String::npos ? work.substr(d + 1) : String();

  if (FComma)
    for (size_t at = integer.size(); at > 3; at -= 3) integer.insert(at - 3, 1, u',');
  if (FDecimalFixed) fraction.resize(static_cast<size_t>(FDecimalLength), u'0');
  if (d != String::npos || FDecimalFixed) fraction.insert(fraction.begin(), u'.');
  if (FDecimalFixed && integer.empty()) integer = kZero;

  String number = integer + fraction;
  if (m != String::npos) number.insert(number.begin(), u'-');
  if (number.empty()) return number;
  return FLeftMark + number + FRightMark;
}

// ---- properties -------------------------------------------------------------

void TZuNumEditCore::Reformat() {
  FValText = FormatText(FText);
  HostInvalidate();
  MoveCaret();
}

void TZuNumEditCore::SetValue(const String& value) {
  FText = value;
  Reformat();
}

void TZuNumEditCore::SetText(const String& value) {
  if (value == FText) return;
  SetValue(StripZeros(FilterText(value)));
}

void TZuNumEditCore::SetAlignment(TAlignment value) {
  if (value == FAlignment) return;
  FAlignment = value;
  HostInvalidate();
  MoveCaret();
}

void TZuNumEditCore::SetVertAlignment(TVertAlignment value) {
  if (value == FVertAlignment) return;
  FVertAlignment = value;
  HostInvalidate();
  MoveCaret();
}

void TZuNumEditCore::SetAutoSelect(bool value) {
  if (value == FAutoSelect) return;
  FAutoSelect = value;
  HostInvalidate();
}

void TZuNumEditCore::SetAutoSize(bool value) {
  if (value == FAutoSize) return;
  FAutoSize = value;
  AdjustHeight();
  HostInvalidate();
  MoveCaret();
}

void TZuNumEditCore::SetBorderStyle(TBorderStyle value) {
  if (value == FBorderStyle) return;
  FBorderStyle = value;
  HostRecreateWindow();
  AdjustHeight();
  HostInvalidate();
  MoveCaret();
}

void TZuNumEditCore::SetTopMargin(int32_t value) {
  if (value < 0 || value == FTopMargin) return;
  FTopMargin = value;
  AdjustHeight();
  HostInvalidate();
  MoveCaret();
}

void TZuNumEditCore::SetBottomMargin(int32_t value) {
  if (value < 0 || value == FBottomMargin) return;
  FBottomMargin = value;
  AdjustHeight();
  HostInvalidate();
  MoveCaret();
}

void TZuNumEditCore::SetLeftMargin(int32_t value) {
  if (value < 0 || value == FLeftMargin) return;
  FLeftMargin = value;
  HostInvalidate();
  MoveCaret();
}

void TZuNumEditCore::SetRightMargin(int32_t value) {
  if (value < 0 || value == FRightMargin) return;
  FRightMargin = value;
  HostInvalidate();
  MoveCaret();
}

void TZuNumEditCore::SetComma(bool value) {
  if (value == FComma) return;
  FComma = value;
  Reformat();
}

void TZuNumEditCore::SetDecimalFixed(bool value) {
  if (value == FDecimalFixed) return;
  FDecimalFixed = value;
  Reformat();
}

void TZuNumEditCore::SetLeftMark(const String& value) {
  if (value == FLeftMark) return;
  FLeftMark = value;
  Reformat();
}

void TZuNumEditCore::SetRightMark(const String& value) {
  if (value == FRightMark) return;
  FRightMark = value;
  Reformat();
}

// The limits re-filter the value; leading zeros cannot appear by cutting the
// end of a value that had none.
void TZuNumEditCore::SetDecimalLength(int32_t value) {
  if (value < 0 || value == FDecimalLength) return;
  FDecimalLength = value;
  SetValue(FilterText(FText));
}

void TZuNumEditCore::SetIntegerLength(int32_t value) {
  if (value < 0 || value == FIntegerLength) return;
  FIntegerLength = value;
  SetValue(FilterText(FText));
}

void TZuNumEditCore::SetMinus(bool value) {
  if (value == FMinus) return;
  FMinus = value;
  SetValue(FilterText(FText));
}

void TZuNumEditCore::SetDisabledColor(TColor value) {
  if (value == FDisabledColor) return;
  FDisabledColor = value;
  HostInvalidate();
}

// ---- selection, undo, clipboard ---------------------------------------------

void TZuNumEditCore::SelectAll() {
  FSelStart = 0;
  FSelLength = static_cast<int32_t>(FValText.size());
  HostInvalidate();
}

void TZuNumEditCore::ClearSelect() {
  FSelStart = 0;
  FSelLength = 0;
  HostInvalidate();
}

void TZuNumEditCore::ClearSelection() {
  if (Selected()) Clear();
}

void TZuNumEditCore::Clear() {
  SaveUndo();
  FText = kZero;
  FValText = FormatText(FText);
  ClearSelect();
  MoveCaret();
  FModified = false;
}

void TZuNumEditCore::SaveUndo() {
  UndoBuffer = FText;
  FCanUndo = true;
}

void TZuNumEditCore::SwapUndo() {
  std::swap(FText, UndoBuffer);
  FCanUndo = true;
}

void TZuNumEditCore::ClearUndo() {
  UndoBuffer.clear();
  FCanUndo = false;
}

void TZuNumEditCore::Undo() {
  if (!FCanUndo) return;
  SwapUndo();
  FValText = FormatText(FText);
  SelectAll();
  MoveCaret();
  Changed();
}

void TZuNumEditCore::CopyToClipboard() {
  if (!Selected()) return;
  NumEditPlatform().SetClipboardText(HostWindow(), FImageCopy ? FValText : FText);
}

void TZuNumEditCore::CutToClipboard() {
  if (!Selected()) return;
  // A value that did not reach the clipboard is not thrown away.
  if (!NumEditPlatform().SetClipboardText(HostWindow(), FImageCopy ? FValText : FText)) return;
  Clear();
  Changed();
}

void TZuNumEditCore::PasteFromClipboard() {
  NumEditApi& api = NumEditPlatform();
  if (!api.IsClipboardFormatAvailable(kCfText)) return;
  String pasted;
  if (!api.GetClipboardText(HostWindow(), pasted)) return;
  SaveUndo();
  FText = FilterText(Selected() ? pasted : FText + pasted);
  FText = StripZeros(FText);
  FValText = FormatText(FText);
  ClearSelect();
  MoveCaret();
  Changed();
}

// ---- typing -----------------------------------------------------------------

void TZuNumEditCore::Changed() {
  if (FOnChange) FOnChange(HostSender());
}

void TZuNumEditCore::Refuse() {
  if (FErrorBeep) NumEditPlatform().MessageBeep(0);
}

void TZuNumEditCore::Commit(const String& value) {
  SaveUndo();
  SetValue(value);
  FModified = true;
  Changed();
}

void TZuNumEditCore::InputDigit(char16_t key) {
  if (Selected()) Clear();
  const size_t d = FText.find(u'.');
  size_t integers = d != String::npos ? d : FText.size();
  const size_t fractions = d != String::npos ? FText.size() - d - 1 : 0;
  if (FText.find(u'-') != String::npos) --integers;
  const bool full = d == String::npos || FDecimalLength == 0
                        ? integers >= static_cast<size_t>(FIntegerLength)
                        : fractions >= static_cast<size_t>(FDecimalLength);
  if (full) return Refuse();
  const String candidate = StripZeros(FText + key);
  if (!TextFits(candidate)) return Refuse();
  Commit(candidate);
}

void TZuNumEditCore::InputPoint() {
  if (FDecimalLength == 0) return Refuse();
  if (Selected()) Clear();
  if (FText.find(u'.') != String::npos) return Refuse();
  // Measure what would be shown: an empty value or a lone minus gains a zero.
  const String candidate = StripZeros(FText + u'.');
  if (!TextFits(candidate)) return Refuse();
  Commit(candidate);
}

void TZuNumEditCore::InputMinus() {
  if (!FMinus) return Refuse();
  if (Selected()) Clear();
  const size_t m = FText.find(u'-');
  if (m != String::npos) {
    String positive = FText;
    positive.erase(m, 1);
    return Commit(positive);
  }
  String candidate = u"-" + FText;
  // A minus on zero starts a negative number the way a calculator does,
  // unless no digit at all is allowed before the point.
  if (!FDecimalFixed && candidate == u"-0" && FIntegerLength > 0) candidate = u"-1";
  if (!TextFits(candidate)) return Refuse();
  Commit(candidate);
}

void TZuNumEditCore::DeleteLastChar() {
  if (FText.empty()) return SetValue(kZero);
  if (Selected()) return Clear();
  String shorter = FText.substr(0, FText.size() - 1);
  if (!shorter.empty() && shorter.back() == u'.') shorter.pop_back();
  if (shorter.empty() || shorter == u"-") shorter = kZero;
  Commit(shorter);
}

bool TZuNumEditCore::MoveFocus(bool next) {
  const uintptr_t form = HostFormWindow();
  if (!form) return false;
  NumEditPlatform().PostMessageW(form, kWmNextDlgCtl, next ? 0 : 0xFFFFFFFFu, 0);
  return true;
}

void TZuNumEditCore::HandleKeyDown(uint16_t& key, uint8_t shift, const TInherited& inherited) {
  if (inherited) inherited();
  const uint8_t mods = shift & (ksShift | ksCtrl | ksAlt);
  const bool plain = mods == 0, withShift = mods == ksShift, withCtrl = mods == ksCtrl;

  if (withShift && (key == kVkLeft || key == kVkRight)) {
    SelectAll();
  } else if (withCtrl && key == 'A') {
    SelectAll();
  } else if (withCtrl && key == 'C') {
    CopyToClipboard();
  } else if (plain && (key == kVkPrior || key == kVkNext || key == kVkEnd || key == kVkHome ||
                       key == kVkLeft || key == kVkRight)) {
    ClearSelect();
  } else if (plain && (key == kVkUp || key == kVkDown)) {
    const bool next = key == kVkDown;
    ClearSelect();
    key = 0;
    if (FArrowFocusMove) MoveFocus(next);
    return;
  } else if (FReadOnly) {
    return;
  } else if (withCtrl && key == 'V') {
    PasteFromClipboard();
  } else if (withCtrl && key == 'X') {
    CutToClipboard();
  } else if (plain && (key == kVkBack || key == kVkDelete)) {
    DeleteLastChar();
  } else {
    return;
  }
  key = 0;
}

void TZuNumEditCore::HandleKeyPress(char16_t& key, const TInherited& inherited) {
  if (inherited) inherited();
  if (key == 0) return;  // the handler took it
  if (FReadOnly) {
    key = 0;
    return;
  }
  const char16_t c = key;
  key = 0;
  switch (c) {
    case 1: case 3: case 8: case 22: case 24:
      return;  // Ctrl+A, Ctrl+C, Backspace, Ctrl+V, Ctrl+X: key down has acted
    case 13:
      if (!FEnterFocusMove) return Refuse();
      if (!MoveFocus(true)) key = c;  // nowhere to go: leave Enter to others
      return;
    case u'-':
      return InputMinus();
    case u'.':
      return InputPoint();
    default:
      if (IsDigit(c)) return InputDigit(c);
      return Refuse();
  }
}

// ---- focus and mouse --------------------------------------------------------

void TZuNumEditCore::HandleEnter(const TInherited& inherited) {
  if (inherited) inherited();
  if (FAutoSelect) SelectAll();
}

void TZuNumEditCore::HandleExit(const TInherited& inherited) {
  if (inherited) inherited();
  if (FText == u"-") {
    FText = kZero;
    FValText = FormatText(FText);
    HostInvalidate();
  }
  if (FHideSelection) ClearSelect();
}

void TZuNumEditCore::HandleMouseDown(bool leftButton, const TInherited& inherited) {
  if (!DblClickFlag && leftButton) {
    NumEditApi& api = NumEditPlatform();
    // Only take the focus while this program is in front.
    if (api.GetWindowThreadProcessId(api.GetForegroundWindow()) == api.GetCurrentThreadId())
      api.SetFocus(HostWindow());
    ClearSelect();
  }
  if (inherited) inherited();
  DblClickFlag = false;
}

void TZuNumEditCore::HandleMouseMove(bool leftHeld, int32_t x, const TInherited& inherited) {
  if (leftHeld && x >= DrawRect.Left && x <= DrawRect.Right) SelectAll();
  if (inherited) inherited();
}

void TZuNumEditCore::HandleDblClick(const TInherited& inherited) {
  SelectAll();
  if (inherited) inherited();
  DblClickFlag = true;
}

uint32_t TZuNumEditCore::DialogCode() const {
  return kDlgcWantArrows | kDlgcWantChars | (FEnterFocusMove ? kDlgcWantAllKeys : 0);
}

char16_t TZuNumEditCore::MapImeChar(char16_t c) {
  const char16_t narrow = NarrowChar(c);
  return narrow == 0 ? c : narrow;  // the full-width comma stays as it is
}

// ---- geometry ---------------------------------------------------------------

int32_t TZuNumEditCore::TextAreaWidth() {
  const int32_t border = FBorderStyle == bsSingle && HostCtl3D() ? 2 : 1;
  return HostClientWidth() - FLeftMargin - FRightMargin - 2 * border;
}

int32_t TZuNumEditCore::TextWidth(const String& s) {
  if (s.empty()) return 0;
  TTextRect rect;
  NumEditPlatform().DrawTextW(HostDC(), s, rect, kDtCalcRect);
  return rect.Right - rect.Left;
}

int32_t TZuNumEditCore::ShownWidth(const String& s) { return TextWidth(FormatText(s)); }

bool TZuNumEditCore::TextFits(const String& s) { return ShownWidth(s) <= TextAreaWidth(); }

int32_t TZuNumEditCore::CaretOffset(const String& s) {
  // The caret stands before the right mark and, with fixed decimals, behind
  // the decimals typed so far rather than behind the filled-in zeros.
  TTemporary<String> noRightMark(FRightMark, String());
  if (!FDecimalFixed) return TextWidth(FormatText(s));

  const size_t d = s.find(u'.');
  const String integer = s.substr(0, d);
  const String typed = d != String::npos ? s.substr(d) : String();
  String shown;
  if (integer.empty()) {
    shown = FLeftMark + u"0";
  } else if (integer == u"-") {
    shown = FLeftMark + u"-0";
  } else {
    TTemporary<int32_t> noDecimals(FDecimalLength, 0);
    TTemporary<bool> notFixed(FDecimalFixed, false);
    shown = FormatText(integer);
  }
  return TextWidth(shown) + TextWidth(typed);
}

int32_t TZuNumEditCore::TextLeft() {
  const int32_t clientWidth = HostClientWidth();
  switch (FAlignment) {
    case taLeftJustify:
      return FLeftMargin;
    case taRightJustify:
      return clientWidth - FRightMargin - 1 - ShownWidth(FText);
    case taCenter:
      return (clientWidth - FLeftMargin - FRightMargin) / 2 + FLeftMargin - 1 -
             ShownWidth(FText) / 2;
  }
  return FLeftMargin;
}

int32_t TZuNumEditCore::TextTop() {
  const int32_t clientHeight = HostClientHeight();
  switch (FVertAlignment) {
    case taTopJustify:
      return FTopMargin;
    case taBottomJustify:
      return clientHeight - FontHeight() - FBottomMargin;
    case taVCenter:
      return (clientHeight - FontHeight() - FTopMargin - FBottomMargin) / 2 + FTopMargin;
  }
  return FTopMargin;
}

TZuNumEditCore::TPaintPlan TZuNumEditCore::PlanPaint(bool enabled, TColor fontColor,
                                                     TColor color) {
  const int32_t x = TextLeft();
  const int32_t y = TextTop();
  TPaintPlan plan{{}, fontColor, color};
  if (!enabled) {
    plan.TextColor = FDisabledColor;
  } else if (Selected()) {
    plan.TextColor = kColorHighlightText;
    plan.BackColor = kColorHighlight;
  }
  DrawRect = {x, y, x + TextWidth(FValText), y + FontHeight()};
  plan.Rect = DrawRect;
  return plan;
}

void TZuNumEditCore::AdjustCreateParams(TBorderStyle border, bool ctl3D, bool newStyleControls,
                                        uint32_t& style, uint32_t& exStyle,
                                        uint32_t& classStyle) {
  if (border == bsSingle) style |= kWsBorder;
  if (newStyleControls && ctl3D && border == bsSingle) {
    style &= ~kWsBorder;
    exStyle |= kWsExClientEdge;
  }
  classStyle &= ~(kCsHRedraw | kCsVRedraw);
}

// ---- caret, height and the window's reactions -------------------------------

void TZuNumEditCore::CreateNumCaret() {
  if (HostDesigning()) return;
  NumEditPlatform().CreateCaret(HostWindow(), 0, CaretWidth, FontHeight());
  MoveCaret();
}

void TZuNumEditCore::MoveCaret() {
  if (HostDesigning() || !HostFocused()) return;
  const int32_t x = TextLeft() + CaretOffset(FText);
  const int32_t y = TextTop();
  NumEditApi& api = NumEditPlatform();
  const uintptr_t wnd = HostWindow();
  api.ShowCaret(wnd);
  api.SetCaretPos(x, y);
  if (const uintptr_t imc = api.ImmGetContext(wnd)) {
    api.ImmSetCompositionWindow(imc, kCfsPoint, x, y);
    api.ImmSetCompositionFontW(imc, HostFont());
    api.ImmReleaseContext(wnd, imc);
  }
}

void TZuNumEditCore::DestroyNumCaret() {
  if (HostDesigning()) return;
  NumEditApi& api = NumEditPlatform();
  api.HideCaret(HostWindow());
  api.DestroyCaret();
}

void TZuNumEditCore::AdjustHeight() {
  if (FAutoSize) HostSetClientHeight(FontHeight() + FTopMargin + FBottomMargin);
}

void TZuNumEditCore::MeasureFont() {
  HostCopyFont();
  FFontMeasured = false;
}

int32_t TZuNumEditCore::FontHeight() {
  if (!FFontMeasured) {
    FFontMeasured = true;
    int32_t cx = 0, cy = 0;
    if (NumEditPlatform().GetTextExtentPoint32W(HostDC(), u"M", cx, cy)) FFontHeight = cy;
  }
  return FFontHeight;
}

void TZuNumEditCore::RemeasureFont() {
  MeasureFont();
  AdjustHeight();
}

void TZuNumEditCore::HandleParentAssigned() { RemeasureFont(); }

void TZuNumEditCore::HandleFontChanged(bool bold, const TInherited& inherited) {
  if (NowInit) return;
  const bool focused = HostFocused();
  if (focused) DestroyNumCaret();
  if (inherited) inherited();
  MeasureFont();
  AdjustHeight();
  CaretWidth = bold ? 2 : 1;
  if (focused) {
    CreateNumCaret();
    MoveCaret();
  }
}

void TZuNumEditCore::HandleCtl3DChanged(bool newStyleControls, const TInherited& inherited) {
  if (NowInit) return;
  if (inherited) inherited();
  if (newStyleControls && FBorderStyle == bsSingle) HostRecreateWindow();
  AdjustHeight();
}

void TZuNumEditCore::HandleFocusGained() {
  CreateNumCaret();
  MoveCaret();
}

void TZuNumEditCore::HandleFocusLost() { DestroyNumCaret(); }

void TZuNumEditCore::HandleResized() { MoveCaret(); }
