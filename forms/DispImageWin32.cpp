// The picture window: the picture full screen, black around and behind it,
// above every other window, with the taskbar out of the way.
#include "forms/DispImageWin32.h"

#include "toolkit/pictures/Image.h"

void LoadPictureFile(TImage* view, const String& fileName, TPictureSize target) {
  // Decoded in full before the view lets go of what it shows.
  TImage32 picture = DecodePictureFile(fileName, target);
  view->SetPicture(std::move(picture));
}

void LoadPictureFile(TImage* view, const String& fileName) { LoadPictureFile(view, fileName, view->DrawTarget()); }

TDispImageForm::TDispImageForm(TComponent* owner, const String& pictureFile, int32_t pictureTime,
                               std::unique_ptr<TPicturePreload> preload)
    : TForm(owner), TDispImageCore(pictureFile, pictureTime), FPreload(std::move(preload)) {
  SetName(u"DispImageForm");
  SetBorderStyle(bsNone);
  SetColor(RGB(0, 0, 0));
  SetFormStyle(fsStayOnTop);
  SetWindowState(wsMaximized);
  SetKeyPreview(true);
  SetPosition(poScreenCenter);
  SetClientSize(190, 138);

  Image1 = new TImage(this);
  Image1->SetName(u"Image1");
  Image1->SetParent(this);
  Image1->SetBounds(0, 0, 190, 138);
  Image1->SetColor(RGB(0, 0, 0));
  Image1->SetStretch(true);
  Image1->OnMouseDown = [this](TComponent*, TMouseButton button, TShiftState, int, int) {
    Image1MouseDown(button);
  };

  Timer1 = new TTimer(this);
  Timer1->SetName(u"Timer1");
  Timer1->SetEnabled(false);
  Timer1->SetInterval(5000);
  Timer1->SetOnTimer([this](TComponent*) { Timer1Timer(); });

  OnCreate = [this](TComponent*) { FormCreate(); };
  OnActivate = [this](TComponent*) { FormActivate(); };
  OnDeactivate = [this](TComponent*) { FormDeactivate(); };
  OnKeyPress = [this](TComponent*, char16_t& key) { FormKeyPress(key); };
  OnCloseQuery = [this](TComponent*, bool& canClose) { FormCloseQuery(canClose); };
  OnClose = [this](TComponent*, TCloseAction&) {
    if (ModalResult() == mrNone) SetModalResult(mrOk);  // not cancelled
  };
  DoCreate();
}

// The window is gone before this runs (the toolkit destroys a form's windows
// first), so no message of its end reaches a half-destroyed object.
TDispImageForm::~TDispImageForm() { RestoreTaskbar(); }

// Owned by the main window, the window has no taskbar button. In a run from
// the command line the main window is never made, so there is no owner: a
// tool window then keeps the button away just the same.
void TDispImageForm::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  if (!params.WndParent) params.ExStyle |= WS_EX_TOOLWINDOW;
}

void TDispImageForm::WndProc(TMessage& message) {
  TForm::WndProc(message);
  switch (message.Msg) {
    case WM_SIZE:
      FitImage();
      break;
    case WM_SHOWWINDOW:
      // Hidden by a call, not because its owner was minimised or hidden.
      if (!message.WParam && !message.LParam) FormHide();
      break;
    case WM_ENDSESSION:
      if (message.WParam) RestoreTaskbar();  // the process may end at any moment now
      break;
    default:
      break;
  }
}

// The screen's physical pixels become the toolkit's 96-DPI layout units here,
// once; FitImage keeps the view on the exact client area after that.
void TDispImageForm::HostSetSize(int32_t width, int32_t height) {
  const int layoutWidth = ::MulDiv(width, 96, Dpi());
  const int layoutHeight = ::MulDiv(height, 96, Dpi());
  SetBounds(Left(), Top(), layoutWidth, layoutHeight);
  Image1->SetBounds(0, 0, layoutWidth, layoutHeight);
}

void TDispImageForm::HostLoadPicture(const String& fileName, TPictureSize target) {
  // The picture decoded ahead is taken, after waiting for the rest of its
  // decode, when it is this file at this size; otherwise it is dropped and
  // the file decoded here.
  if (const auto preload = std::move(FPreload); preload && preload->Serves(fileName, target)) {
    Image1->SetPicture(preload->Take());
    return;
  }
  LoadPictureFile(Image1, fileName, target);
}

void TDispImageForm::HostStartTimer(uint32_t interval) {
  Timer1->SetInterval(interval);
  Timer1->SetEnabled(true);
}

void TDispImageForm::HostCancel() { SetModalResult(kPictureCancelled); }

// The view covers the client area exactly, in the window's own pixels.
void TDispImageForm::FitImage() {
  if (!HandleAllocated() || !Image1) return;
  RECT r{};
  ::GetClientRect(Handle(), &r);
  Image1->SetBounds(0, 0, ::MulDiv(r.right, 96, Dpi()), ::MulDiv(r.bottom, 96, Dpi()));
  if (Image1->HandleAllocated())
    ::SetWindowPos(Image1->Handle(), nullptr, 0, 0, r.right, r.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}
