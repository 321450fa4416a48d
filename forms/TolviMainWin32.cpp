// The main window: the five actions, the uptime clock, the picture with its
// time and the confirmation switch, on a small fixed window above the others.
#include "forms/TolviMainWin32.h"

#include "app/ME.h"
#include "app/Ordane.h"
#include "droptarget/DROPDST.h"
#include "forms/DispImageWin32.h"
#include "numedit/ZuNumEditWin32.h"
#include "toolkit/ExtDlgs.h"
#include "toolkit/Layout.h"
#include "toolkit/pictures/Image.h"

namespace {

const String kLayoutFont = u"ＭＳ Ｐゴシック";
const String kClockFont = u"Times New Roman";
constexpr COLORREF kWindowColor = RGB(160, 160, 164);
constexpr COLORREF kWindowText = 0xFF000000 | COLOR_WINDOWTEXT;
constexpr COLORREF kButtonFace = 0xFF000000 | COLOR_BTNFACE;
constexpr COLORREF kLime = RGB(0, 255, 0);
constexpr int kMainIcon = 1;  // the program's icon in its resources

template <class T>
T* Find(const TComponent& owner, const String& name) {
  auto* found = dynamic_cast<T*>(owner.FindComponent(name));
  if (!found) throw Exception(u"コントロール " + name + u" がありません。");
  return found;
}

}  // namespace

TTolviMainForm::TTolviMainForm(TComponent* owner) : TForm(owner) {
  SetName(u"TolviMainForm");
  SetCaption(kAppTitle);
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu);
  SetFormStyle(fsStayOnTop);
  SetPosition(poScreenCenter);
  SetClientSize(342, 299);
  SetColor(kWindowColor);
  SetIcon(::GetModuleHandleW(nullptr), kMainIcon);
  Font().SetName(u"MS UI Gothic");
  Font().SetHeight(12);
  Font().SetStyle(fsBold);
  Font().SetColor(kWindowText);
  Font().SetCharset(SHIFTJIS_CHARSET);
  // Nothing here takes typed text: digits must reach the actions, not an
  // input method's composition.
  SetImeMode(imDisable);

  auto radioClick = [this](TComponent*) { RadioButtonClick(); };
  auto radioDblClick = [this](TComponent*) { RadioButtonDblClick(); };
  const TFontSpec actionFont{kLayoutFont, 12, fsBold, kWindowText, SHIFTJIS_CHARSET};
  const TFontSpec numberFont{kLayoutFont, 19, fsBold, kWindowText, SHIFTJIS_CHARSET};

  std::vector<TControlSpec> layout = {
      {.Kind = ckPanel, .Name = u"Panel1", .Bounds = {0, 0, 342, 299}, .Align = alBottom,
       .Setup = [](TWinControl& c) { static_cast<TPanel&>(c).SetBevelOuter(bvRaised); }},
      {.Kind = ckGroupBox, .Name = u"GroupBox1", .Parent = u"Panel1", .Bounds = {1, 1, 340, 170}, .Align = alTop,
       .TabOrder = 3, .Cursor = crHandPoint},
  };
  for (const TExitModeInfo& info : kExitModes) {
    const int n = ExitModeNumber(info.Mode);
    const String digit = IntToStr(n);
    layout.push_back({.Kind = ckLabel, .Name = u"Label" + digit, .Parent = u"GroupBox1",
                      .Bounds = {10, 12 + 30 * (n - 1), 25, 19}, .Caption = u"[&" + digit + u"]",
                      .Font = numberFont});
    layout.push_back({.Kind = ckRadioButton, .Name = u"RadioButton" + digit, .Parent = u"GroupBox1",
                      .Bounds = {50, 10 + 30 * (n - 1), 270, 23}, .Caption = info.Caption, .Font = actionFont,
                      .TabOrder = n - 1, .Cursor = crHandPoint, .OnClick = radioClick, .OnDblClick = radioDblClick});
  }
  layout.insert(layout.end(), {
      {.Kind = ckButton, .Name = u"OKBtn", .Parent = u"Panel1", .Bounds = {120, 180, 205, 40},
       .Caption = u"実 行 [Enter]", .TabOrder = 0, .OnClick = [this](TComponent*) { OKBtnClick(); },
       .Setup = [](TWinControl& c) { static_cast<TButton&>(c).MakeConfirm(); }},
      {.Kind = ckStaticText, .Name = u"TxtWinTime", .Parent = u"Panel1", .Bounds = {15, 185, 94, 26},
       .Caption = u"1175:23:59", .Font = TFontSpec{kClockFont, 19, fsBold, kLime}, .TabOrder = 2,
       .Hint = u"Windowsを起動してからの時間", .Color = RGB(0, 0, 0),
       .Setup = [](TWinControl& c) {
         auto& text = static_cast<TStaticText&>(c);
         text.SetAlignment(taRightJustify);
         text.SetBorderStyle(sbsSunken);
       }},
      {.Kind = ckGroupBox, .Name = u"GroupBoxOption", .Parent = u"Panel1", .Bounds = {1, 228, 340, 70},
       .Align = alBottom, .TabOrder = 1},
      {.Kind = ckCustom, .Name = u"Image1", .Parent = u"GroupBoxOption", .Bounds = {8, 12, 80, 45},
       .Make = [](TComponent* owner) { return new TImage(owner); },
       .Setup = [](TWinControl& c) { static_cast<TImage&>(c).SetStretch(true); }},
      {.Kind = ckButton, .Name = u"BtnPicSel", .Parent = u"GroupBoxOption", .Bounds = {96, 22, 50, 35},
       .Caption = u"選択", .TabOrder = 1, .OnClick = [this](TComponent*) { BtnPicSelClick(); }},
      {.Kind = ckCheckBox, .Name = u"CHKConfirm", .Parent = u"GroupBoxOption", .Bounds = {165, 15, 170, 17},
       .Caption = u"確認ダイアログ表示", .TabOrder = 0, .OnClick = [this](TComponent*) { CHKConfirmClick(); }},
      {.Kind = ckCustom, .Name = u"TXTStartTime", .Parent = u"GroupBoxOption", .Bounds = {161, 36, 45, 21},
       .Font = TFontSpec{kClockFont, 16, fsBold, kWindowText, SHIFTJIS_CHARSET}, .TabOrder = 2, .Cursor = crIBeam,
       .Hint = u"画像表示時間", .Color = kButtonFace,
       // Fixed in height from the start: sized by its font, it would measure
       // the font as soon as it has a parent, before the window is needed.
       .Make =
           [](TComponent* owner) {
             auto* edit = new TZuNumEdit(owner);
             edit->SetAutoSize(false);
             return edit;
           },
       .Setup = [](TWinControl& c) {
         auto& edit = static_cast<TZuNumEdit&>(c);
         edit.SetComma(false);
         edit.SetErrorBeep(false);
         edit.SetIntegerLength(3);
         edit.SetMinus(false);
         edit.SetReadOnly(true);
         edit.SetText(u"0");
       }},
      {.Kind = ckUpDown, .Name = u"UDStartTime", .Parent = u"GroupBoxOption", .Bounds = {206, 36, 30, 21},
       .TabOrder = 3, .OnClick = [this](TComponent*) { UDStartTimeClick(); },
       .Setup = [this](TWinControl& c) {
         auto& updown = static_cast<TUpDown&>(c);
         updown.SetRange(kPictureTimeMin, kPictureTimeMax);
         updown.SetIncrement(1);
         updown.SetWrap(true);
         updown.SetThousands(false);
         updown.SetOrientation(udVertical);
         updown.SetArrowKeys(true);
         updown.SetAssociate(Find<TWinControl>(*this, u"TXTStartTime"));
       }},
      {.Kind = ckLabel, .Name = u"LblStartTime", .Parent = u"GroupBoxOption", .Bounds = {243, 40, 39, 12},
       .Caption = u"秒表示"},
  });
  CreateControls(*this, layout);

  for (const TExitModeInfo& info : kExitModes) {
    const String digit = IntToStr(ExitModeNumber(info.Mode));
    Find<TLabel>(*this, u"Label" + digit)->SetFocusControl(Find<TRadioButton>(*this, u"RadioButton" + digit));
  }
  OKBtn = Find<TButton>(*this, u"OKBtn");
  BtnPicSel = Find<TButton>(*this, u"BtnPicSel");
  TxtWinTime = Find<TStaticText>(*this, u"TxtWinTime");
  CHKConfirm = Find<TCheckBox>(*this, u"CHKConfirm");
  TXTStartTime = Find<TZuNumEdit>(*this, u"TXTStartTime");
  UDStartTime = Find<TUpDown>(*this, u"UDStartTime");
  LblStartTime = Find<TLabel>(*this, u"LblStartTime");
  Image1 = Find<TImage>(*this, u"Image1");

  Timer = new TTimer(this);
  Timer->SetName(u"Timer");
  Timer->SetInterval(1000);
  Timer->SetOnTimer([this](TComponent*) { TimerTimer(); });

  ExitWin1 = new TExitWin(this);
  ExitWin1->SetName(u"ExitWin1");
  ExitWin1->SetOnCloseMainForm([this] { Close(); });

  OpenPictureDialog = new TOpenPictureDialog(this);
  OpenPictureDialog->SetName(u"OpenPictureDialog");
  OpenPictureDialog->SetFilter(kPictureFilterName + u"|" + PictureFilterMask(puMainWindow));
  OpenPictureDialog->SetOptions(ofHideReadOnly | ofPathMustExist | ofFileMustExist | ofEnableSizing);
  OpenPictureDialog->SetLoader([](const String& fileName, TPictureSize target) {
    return DecodePictureFile(fileName, target);
  });

  // Files are dropped only on a window on the screen. A main window that is
  // never shown (an action from the command line) has no drop target, whose
  // hook would make the window: that run then ends without making any.
  if (!Application || Application->ShowMainForm()) {
    DropDst = new TDropDst(this);
    DropDst->SetName(u"DropDst");
    DropDst->SetTarget(htForm);
    DropDst->SetOnFileDrop([this](TComponent*, const TStrings& files, int32_t, int32_t) { DropDstFileDrop(files); });
  }

  // The window is complete: each component takes its final properties into
  // account, as at the end of reading a layout (the drop target registers
  // the window for drops here).
  for (int i = 0; i < ComponentCount(); ++i) Components(i)->Loaded();

  OnCreate = [this](TComponent*) { FormCreate(); };
  OnActivate = [this](TComponent*) { FormActivate(); };
  OnCloseQuery = [this](TComponent*, bool& canClose) { FormCloseQuery(canClose); };
}

TTolviMainForm::~TTolviMainForm() = default;

TRadioButton* TTolviMainForm::Action(TExitMode mode) const {
  return RBTNExitMode.at(static_cast<size_t>(ExitModeNumber(mode) - 1));
}

// The face is looked up when the window is made, or at once if it is: asking
// the system about fonts starts its display side, which a run that ends
// without a window never needs.
void TTolviMainForm::HostUseMenuFontFace() {
  FMenuFontFace = true;
  if (HandleAllocated()) UseMenuFontFace();
}

void TTolviMainForm::UseMenuFontFace() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
    Font().SetName(S(metrics.lfMenuFont.lfFaceName));
}

void TTolviMainForm::CreateWnd() {
  if (FMenuFontFace) UseMenuFontFace();
  TForm::CreateWnd();
}

void TTolviMainForm::HostPrepareActions() {
  for (const TExitModeInfo& info : kExitModes) {
    const size_t i = static_cast<size_t>(ExitModeNumber(info.Mode) - 1);
    const String digit = IntToStr(ExitModeNumber(info.Mode));
    RBTNExitMode[i] = Find<TRadioButton>(*this, u"RadioButton" + digit);
    RBTNExitMode[i]->SetChecked(false);
    LblExitMode[i] = Find<TLabel>(*this, u"Label" + digit);
    RBTNExitMode[i]->Font().SetSize(14);
  }
}

void TTolviMainForm::HostSetActionCaption(TExitMode mode, const String& caption) { Action(mode)->SetCaption(caption); }

void TTolviMainForm::HostSetLaterFontSizes() {
  LblStartTime->Font().SetSize(10);
  CHKConfirm->Font().SetSize(10);
  BtnPicSel->Font().SetSize(10);
  OKBtn->Font().SetSize(14);
}

bool TTolviMainForm::HostActionChecked(TExitMode mode) { return Action(mode)->Checked(); }

void TTolviMainForm::HostSetActionEnabled(TExitMode mode, bool enabled) { Action(mode)->SetEnabled(enabled); }

void TTolviMainForm::HostSetExecuteEnabled(bool enabled) { OKBtn->SetEnabled(enabled); }

void TTolviMainForm::HostSetClockText(const String& text) { TxtWinTime->SetCaption(text); }

uint64_t TTolviMainForm::HostTickCount() { return ::GetTickCount64(); }

bool TTolviMainForm::HostConfirmChecked() { return CHKConfirm->Checked(); }

void TTolviMainForm::HostSetConfirmChecked(bool checked) { CHKConfirm->SetChecked(checked); }

int32_t TTolviMainForm::HostUpDownPosition() { return UDStartTime->Position(); }

void TTolviMainForm::HostSetUpDownPosition(int32_t position) { UDStartTime->SetPosition(position); }

void TTolviMainForm::HostSetTimeText(const String& text) { TXTStartTime->SetText(text); }

void TTolviMainForm::HostSetTimeControlsEnabled(bool enabled) {
  TXTStartTime->SetEnabled(enabled);
  UDStartTime->SetEnabled(enabled);
  LblStartTime->SetEnabled(enabled);
}

// Decoded on the worker for the view's size at the window's DPI; the window
// shows without waiting for it. Its header is read and checked here first,
// so a file that cannot be read, is of a kind not taken, or is damaged in its
// header raises its message at once, where the caller reports it (while the
// window is made, for the saved picture). Damage further on is raised when
// the decode ends, from the view's handling of the result, and reaches the
// general error report as any handler's error does. Either way the view
// keeps what it had.
void TTolviMainForm::HostLoadPreview(const String& fileName) {
  // A window that is never shown (an action from the command line, whose
  // sequence has already run) has no preview to draw.
  if (Application && !Application->ShowMainForm()) return;
  Image1->LoadPicture([fileName](TPictureSize target) { return DecodePictureFile(fileName, target); }, nullptr,
                      [fileName](TPictureSize target) { CheckPictureFileHeader(fileName, target); });
}

void TTolviMainForm::HostClearPreview() { Image1->ClearPicture(); }

bool TTolviMainForm::HostChoosePicture(const String& initialDir, String& fileName) {
  // A file name left from the last choice would open its folder instead.
  OpenPictureDialog->SetFileName(String());
  OpenPictureDialog->SetInitialDir(initialDir);
  if (!OpenPictureDialog->Execute()) return false;
  fileName = OpenPictureDialog->FileName();
  return true;
}

void TTolviMainForm::HostReportError(const Exception& error) { Application->ShowException(error); }

std::unique_ptr<TPicturePreload> TTolviMainForm::HostPreloadPicture(const String& fileName) {
  // The picture window covers the screen: its picture is drawn at the
  // screen's size, in physical pixels.
  const TPictureSize screen{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  return std::make_unique<TPicturePreload>(fileName, screen,
                                           [fileName, screen] { return DecodePictureFile(fileName, screen); });
}

bool TTolviMainForm::HostShowPicture(const String& fileName, int32_t seconds,
                                     std::unique_ptr<TPicturePreload> preload) {
  // The window destroys itself once its run is over; only its result is kept.
  auto* picture = new TDispImageForm(Application, fileName, seconds, std::move(preload));
  return picture->ShowModal() == kPictureCancelled;
}

void TTolviMainForm::HostTerminate() noexcept {
  if (Application) Application->Terminate();
}
