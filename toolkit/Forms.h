// Top-level windows and the application: the message loop, modal runs, the
// end of the program and the error report.
#pragma once

#include "toolkit/Controls.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/Types.h"

enum TFormStyle { fsNormal, fsStayOnTop };
enum TPosition { poDesigned, poScreenCenter };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
// The buttons of a title bar: a set of these flags.
enum TBorderIcon : uint8_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
using TBorderIcons = uint8_t;

constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7;

using TCloseEvent = std::function<void(TComponent* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TComponent* sender, bool& canClose)>;
using TExceptionEvent = std::function<void(TComponent* sender, const Exception& error)>;

class TForm : public TWinControl {
public:
  explicit TForm(TComponent* owner = nullptr);
  ~TForm() override;
  // OnDestroy, then the windows go, before any derived destructor runs.
  void BeforeDestruction() override;

  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle value);
  // Only where the border has a title bar; without biSystemMenu there is no
  // close button either.
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons value);
  // The title bar's and taskbar's icon: an icon resource of a module, loaded
  // at the sizes the window's DPI calls for, again when the DPI changes.
  void SetIcon(HINSTANCE module, int resourceId);
  TFormStyle FormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle value);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition value) { FPosition = value; }
  TWindowState WindowState() const { return FWindowState; }
  void SetWindowState(TWindowState value);
  bool KeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool value) { FKeyPreview = value; }
  // Client size in 96-DPI pixels; the window's frame is added at its DPI.
  void SetClientSize(int width, int height);
  // Outer bounds: Left and Top are screen pixels, the size is in 96-DPI
  // pixels; the client size set before no longer holds.
  void SetBounds(int left, int top, int width, int height) override;
  using TWinControl::SetBounds;

  // Asks the form to close: OnCloseQuery, then OnClose; the main form's
  // closing ends the program.
  void Close();
  // Shows the form and runs a nested message loop until ModalResult is set
  // or the form is closed; the other windows are disabled meanwhile.
  int ShowModal();
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int value) { FModalResult = value; }
  // Destroys the form once the messages already queued have been handled.
  void Release();
  bool Active() const { return FActive; }
  // The control that has the focus in the form. The form gives the focus
  // back to it whenever it is activated again; at the first activation, when
  // none is set, to the first control of the tab order that can take it.
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* control);
  // True while ShowModal's loop runs; false again before the form is hidden
  // at the end of the run.
  bool InModal() const { return FInModal; }

  TNotifyEvent OnCreate;   // called by Application->CreateForm and by DoCreate
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  // Runs OnCreate; a failure goes to the error report.
  void DoCreate();

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
  bool PreviewKeyDown(WORD& key, TShiftState shift) override;
  bool PreviewKeyUp(WORD& key, TShiftState shift) override;
  bool PreviewKeyPress(char16_t& key) override;
  bool DialogKey(TWinControl* from, WORD key, TShiftState shift) override;
  bool DialogChar(char16_t key, bool alt) override;
  void CreateHandleDone() override;
  void DpiChanged(int dpi) override;
  TRectI PhysicalBounds() override;
  void ChildFocused(TWinControl* control) override;
  void ChildRemoved(TWinControl* control) override;

private:
  // Where the focus goes when the form is activated: the active control
  // while it can take it, else the first stop of the tab sequence; nullptr
  // when no control can take it.
  TWinControl* FocusTarget();
  TWinControl* FActiveControl = nullptr;
  void FrameStyles(DWORD& style, DWORD& exStyle) const;
  // Focuses the next (previous) control of the tab sequence after `from`.
  void FocusNext(TWinControl* from, bool backward);
  HMONITOR TargetMonitor() const;
  void ApplyIcon();
  TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
  HINSTANCE FIconModule = nullptr;
  int FIconId = 0;
  TIconHandle FBigIcon, FSmallIcon;
  void ApplyClientSize();
  int FClientWidth = -1, FClientHeight = -1;  // 96-DPI, when set
  bool FPlaced = false;  // the first placement (centring) is done
  TBorderStyle FBorderStyle = bsSizeable;
  TFormStyle FFormStyle = fsNormal;
  TPosition FPosition = poDesigned;
  TWindowState FWindowState = wsNormal;
  bool FKeyPreview = false;
  bool FActive = false;
  bool FInModal = false;
  int FModalResult = mrNone;
};

class TApplication : public TComponent {
public:
  TApplication();
  ~TApplication() override;

  const String& Title() const { return FTitle; }
  void SetTitle(const String& title) { FTitle = title; }
  // The main form carries the program's taskbar button; closing it ends the program.
  TForm* MainForm() const { return FMainForm; }
  // Takes ownership of a form; the first one becomes the main form.
  void CreateForm(TForm* form);
  bool ShowMainForm() const { return FShowMainForm; }
  void SetShowMainForm(bool value) { FShowMainForm = value; }

  // Shows the main form (unless told not to) and handles messages until the
  // end of the program is requested.
  void Run();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Handles one message, waiting for it; false once the program is to end.
  bool HandleMessage();
  void ProcessMessages();

  // The general error report: a box titled with the application title, the
  // message with "." added when its last character is above ".", the error
  // icon and one OK button.
  void ShowException(const Exception& error);
  // Reports the exception in flight (call from a catch block): to
  // OnException when it is set, else with ShowException.
  void HandleException();
  TExceptionEvent OnException;
  // A message box titled with the application title.
  int MessageBox(const String& text, UINT flags);
  int MessageBox(const String& text, const String& caption, UINT flags);

  // The window that message boxes and dialogs belong to.
  HWND ActiveWindow() const;

private:
  bool ProcessMessage(MSG& msg);
  void ReportException(const Exception& error);
  String FTitle;
  TForm* FMainForm = nullptr;
  bool FShowMainForm = true;
  bool FTerminated = false;
};

extern TApplication* Application;
