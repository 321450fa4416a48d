// The numeric edit control's window (Windows build).
#pragma once

#include "numedit/ZuNumEdit.h"
#include "toolkit/Forms.h"

// The numeric edit control: a self-drawn window around the logic above.
class TZuNumEdit : public TWinControl, public TZuNumEditCore {
public:
  explicit TZuNumEdit(TComponent* owner = nullptr);
  ~TZuNumEdit() override;

  // After the base control's handling, an assigned parent (the same one
  // again too) measures the font, fits the height and resets the background
  // to the window colour.
  void SetParent(TWinControl* parent) override;
  // A sunken 3-D edge instead of a flat line (with BorderStyle bsSingle).
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool value);

protected:
  // For a descendant that overrides FormatText or the notifications: the
  // construction is left open, and the descendant's constructor ends it with
  // EndInit().
  struct TOpenInit {};
  TZuNumEdit(TComponent* owner, TOpenInit);

  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char16_t& key) override;
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
  void DblClick() override;
  void FontChanged() override;
  void DpiChanged(int dpi) override;
  void CreateHandleDone() override;

  int32_t HostClientWidth() override;
  int32_t HostClientHeight() override;
  bool HostFocused() override { return Focused(); }
  bool HostCtl3D() override { return FCtl3D; }
  bool HostDesigning() override { return InState(csDesigning); }
  uintptr_t HostWindow() override;
  uintptr_t HostFormWindow() override;
  uintptr_t HostDC() override;
  uintptr_t HostFont() override;
  TComponent* HostSender() override { return this; }
  void HostInvalidate() override { Invalidate(); }
  void HostSetClientHeight(int32_t height) override;
  void HostRecreateWindow() override { RecreateWnd(); }
  void HostCopyFont() override;

private:
  // A memory DC with the canvas font selected: text is measured without
  // drawing and without needing the window.
  class TMeasureDC {
  public:
    TMeasureDC() = default;
    ~TMeasureDC();
    TMeasureDC(const TMeasureDC&) = delete;
    TMeasureDC& operator=(const TMeasureDC&) = delete;
    HDC Select(HFONT font);
    void Deselect();  // before the font it holds goes away

  private:
    TMemoryDC FDC;
    HGDIOBJ FOriginal = nullptr;
  };

  void Paint();
  void EraseBackground(HDC dc);
  SIZE BorderSize();  // what the border takes off the window's size

  bool FCtl3D = true;
  bool FLeftPressed = false;
  int FMeasuredDpi = 0;
  TFont FCanvasFont;  // declared before the DC that may hold it
  TMeasureDC FMeasureDC;
};
