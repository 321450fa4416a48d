// The numeric edit control. TZuNumEditCore is the control without its window:
// the value and the shown text, the editing decisions and the geometry, with
// platform calls through NumEditPlatform(). TZuNumEdit (ZuNumEditWin32.h) is the
// window, which supplies the few facts and actions the logic needs through
// the Host hooks.
#pragma once

#include <cstdint>
#include <functional>

#include "numedit/NumEditApi.h"
#include "toolkit/Classes.h"
#include "toolkit/DialogLogic.h"  // TAlignment
#include "toolkit/SysUtils.h"

#include "toolkit/Types.h"

enum TVertAlignment : uint8_t { taTopJustify = 0, taBottomJustify = 1, taVCenter = 2 };

// An RGB value, or 0xFF000000 plus a system colour index.
using TColor = uint32_t;

class TZuNumEditCore {
public:
  using TChangeEvent = std::function<void(TComponent* sender)>;
  // Key modifiers, as a set; the bits are the toolkit's shift state.
  enum TKeyShift : uint8_t { ksShift = 1, ksAlt = 2, ksCtrl = 4 };

  static constexpr TColor kColorWindow = 0xFF000005;
  static constexpr TColor kColorHighlight = 0xFF00000D;
  static constexpr TColor kColorHighlightText = 0xFF00000E;
  static constexpr TColor kColorGrayText = 0xFF000011;

  // Window styles that the border adds.
  static constexpr uint32_t kWsBorder = 0x00800000;
  static constexpr uint32_t kWsExClientEdge = 0x200;
  static constexpr uint32_t kCsVRedraw = 0x1;
  static constexpr uint32_t kCsHRedraw = 0x2;

  // Dialog codes.
  static constexpr uint32_t kDlgcWantArrows = 0x1;
  static constexpr uint32_t kDlgcWantAllKeys = 0x4;
  static constexpr uint32_t kDlgcWantChars = 0x80;

  TZuNumEditCore();
  virtual ~TZuNumEditCore() = default;
  TZuNumEditCore(const TZuNumEditCore&) = delete;
  TZuNumEditCore& operator=(const TZuNumEditCore&) = delete;

  // Properties.
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);
  bool ArrowFocusMove() const { return FArrowFocusMove; }
  void SetArrowFocusMove(bool value) { FArrowFocusMove = value; }
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool value);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle value);
  int32_t BottomMargin() const { return FBottomMargin; }
  void SetBottomMargin(int32_t value);
  bool Comma() const { return FComma; }
  void SetComma(bool value);
  bool DecimalFixed() const { return FDecimalFixed; }
  void SetDecimalFixed(bool value);
  int32_t DecimalLength() const { return FDecimalLength; }
  void SetDecimalLength(int32_t value);
  TColor DisabledColor() const { return FDisabledColor; }
  void SetDisabledColor(TColor value);
  bool EnterFocusMove() const { return FEnterFocusMove; }
  void SetEnterFocusMove(bool value) { FEnterFocusMove = value; }
  bool ErrorBeep() const { return FErrorBeep; }
  void SetErrorBeep(bool value) { FErrorBeep = value; }
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool value) { FHideSelection = value; }
  bool ImageCopy() const { return FImageCopy; }
  void SetImageCopy(bool value) { FImageCopy = value; }
  int32_t IntegerLength() const { return FIntegerLength; }
  void SetIntegerLength(int32_t value);
  int32_t LeftMargin() const { return FLeftMargin; }
  void SetLeftMargin(int32_t value);
  const String& LeftMark() const { return FLeftMark; }
  void SetLeftMark(const String& value);
  bool Minus() const { return FMinus; }
  void SetMinus(bool value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value) { FReadOnly = value; }
  int32_t RightMargin() const { return FRightMargin; }
  void SetRightMargin(int32_t value);
  const String& RightMark() const { return FRightMark; }
  void SetRightMark(const String& value);
  const String& Text() const { return FText; }
  void SetText(const String& value);
  int32_t TopMargin() const { return FTopMargin; }
  void SetTopMargin(int32_t value);
  TVertAlignment VertAlignment() const { return FVertAlignment; }
  void SetVertAlignment(TVertAlignment value);
  const TChangeEvent& OnChange() const { return FOnChange; }
  void SetOnChange(TChangeEvent handler) { FOnChange = std::move(handler); }

  bool CanUndo() const { return FCanUndo; }
  bool Modified() const { return FModified; }
  void SetModified(bool value) { FModified = value; }
  int32_t SelLength() const { return FSelLength; }
  int32_t SelStart() const { return FSelStart; }
  const String& ValText() const { return FValText; }

  // Methods. They act whatever ReadOnly says; only the keyboard honours it.
  void Clear();
  void ClearSelect();
  void ClearSelection();
  void ClearUndo();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void SelectAll();
  void Undo();

  // Any text to an acceptable value text under the current limits, cut at the
  // first character that does not fit.
  virtual String FilterText(const String& s) const;
  // The shown form of a value text: grouping, fixed decimals and the marks.
  virtual String FormatText(const String& s) const;
  // A value text without superfluous leading zeros.
  static String StripZeros(const String& s);

protected:
  // What the window around the logic supplies.
  virtual int32_t HostClientWidth() = 0;
  virtual int32_t HostClientHeight() = 0;
  virtual bool HostFocused() = 0;
  virtual bool HostCtl3D() = 0;
  virtual bool HostDesigning() = 0;
  virtual uintptr_t HostWindow() = 0;      // the control's own window
  virtual uintptr_t HostFormWindow() = 0;  // the containing form's window; 0 without a form
  virtual uintptr_t HostDC() = 0;          // a DC with the control's font selected
  virtual uintptr_t HostFont() = 0;        // the control's font handle
  virtual TComponent* HostSender() = 0;    // the sender that OnChange reports
  virtual void HostInvalidate() = 0;
  virtual void HostSetClientHeight(int32_t height) = 0;
  virtual void HostRecreateWindow() = 0;
  // The canvas takes a fresh copy of the control's font.
  virtual void HostCopyFont() = 0;

  // Construction is over: the first shown value is formatted (through a
  // descendant's FormatText too), and font and 3-D notifications count from
  // now on. The most derived constructor calls this last.
  void EndInit();

  // The caret and the height; the window side may extend them.
  virtual void CreateNumCaret();
  virtual void MoveCaret();
  virtual void DestroyNumCaret();
  virtual void AdjustHeight();

  // Geometry.
  int32_t TextAreaWidth();
  int32_t TextWidth(const String& s);
  int32_t ShownWidth(const String& s);
  bool TextFits(const String& s);
  int32_t CaretOffset(const String& s);
  int32_t TextLeft();  // left edge of the shown text
  int32_t TextTop();
  // The height of "M" in the canvas font, measured when first needed after
  // the font was copied: measuring needs the system's display side, which
  // a control that is never shown does not.
  int32_t FontHeight();
  int32_t CaretWidthPx() const { return CaretWidth; }
  const TTextRect& LastDrawRect() const { return DrawRect; }

  // Painting: where and in which colours the shown text goes. Records the
  // rectangle for drag selection.
  struct TPaintPlan {
    TTextRect Rect;
    TColor TextColor;
    TColor BackColor;
  };
  TPaintPlan PlanPaint(bool enabled, TColor fontColor, TColor color);

  // Window creation: the styles that the border asks for.
  static void AdjustCreateParams(TBorderStyle border, bool ctl3D, bool newStyleControls,
                                 uint32_t& style, uint32_t& exStyle, uint32_t& classStyle);
  uint32_t DialogCode() const;
  static char16_t MapImeChar(char16_t c);

  // The control's own reactions. `inherited` runs the base control's handling
  // (its events) at the point where it belongs.
  using TInherited = std::function<void()>;
  void HandleKeyDown(uint16_t& key, uint8_t shift, const TInherited& inherited = {});
  void HandleKeyPress(char16_t& key, const TInherited& inherited = {});
  void HandleEnter(const TInherited& inherited = {});
  void HandleExit(const TInherited& inherited = {});
  void HandleMouseDown(bool leftButton, const TInherited& inherited = {});
  void HandleMouseMove(bool leftHeld, int32_t x, const TInherited& inherited = {});
  void HandleDblClick(const TInherited& inherited = {});
  void HandleParentAssigned();
  // The canvas takes the font again and the height follows it.
  void RemeasureFont();
  void HandleFontChanged(bool bold, const TInherited& inherited = {});
  void HandleCtl3DChanged(bool newStyleControls, const TInherited& inherited = {});
  void HandleFocusGained();
  void HandleFocusLost();
  void HandleResized();

private:
  bool Selected() const { return FSelLength != 0; }
  void Changed();
  void Refuse();
  void Commit(const String& value);
  void SaveUndo();
  void SwapUndo();
  void InputDigit(char16_t key);
  void InputPoint();
  void InputMinus();
  void DeleteLastChar();
  void Reformat();                     // ValText from Text, repaint, caret
  void SetValue(const String& value);  // Text, then as Reformat
  bool MoveFocus(bool next);
  void MeasureFont();

  TChangeEvent FOnChange;
  int32_t FTopMargin = 2;
  int32_t FLeftMargin = 2;
  int32_t FBottomMargin = 2;
  int32_t FRightMargin = 2;
  TAlignment FAlignment = taRightJustify;
  TVertAlignment FVertAlignment = taVCenter;
  bool FMinus = true;
  int32_t FIntegerLength = 9;
  int32_t FDecimalLength = 3;
  String FValText;
  bool FErrorBeep = true;
  bool FComma = true;
  TColor FDisabledColor = kColorGrayText;
  bool FImageCopy = false;
  bool FEnterFocusMove = false;
  String FLeftMark;
  bool FArrowFocusMove = false;
  bool FDecimalFixed = false;
  String FRightMark;
  bool FAutoSelect = true;
  bool FAutoSize = true;
  TBorderStyle FBorderStyle = bsSingle;
  bool FReadOnly = false;
  String FText = u"0";
  bool FModified = false;
  int32_t FSelLength = 0;
  int32_t FSelStart = 0;
  bool FHideSelection = true;
  bool NowInit = true;
  int32_t FFontHeight = 0;
  bool FFontMeasured = true;  // FFontHeight belongs to the canvas font
  String UndoBuffer;
  bool FCanUndo = false;
  int32_t CaretWidth = 1;
  bool DblClickFlag = false;
  TTextRect DrawRect;
};
