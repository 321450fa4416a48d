// The system's open-file dialog as a component, and a variant with a preview
// pane that draws the picture under the selection with a loader it is given.
#pragma once

#include <functional>

#include "toolkit/Controls.h"
#include "toolkit/pictures/Picture.h"
#include "toolkit/pictures/PictureWorker.h"

enum TOpenOption : uint32_t {
  ofHideReadOnly = 1,   // no "read only" check box
  ofPathMustExist = 2,  // a typed folder must exist
  ofFileMustExist = 4,  // a typed file must exist
  ofEnableSizing = 8,   // the user can resize the dialog
};
using TOpenOptions = uint32_t;

class TOpenDialog : public TComponent {
public:
  explicit TOpenDialog(TComponent* owner = nullptr);

  // Pairs of description and patterns, all separated by "|":
  // "Pictures|*.png;*.jpg|All|*.*".
  const String& Filter() const { return FFilter; }
  void SetFilter(const String& value) { FFilter = value; }
  int FilterIndex() const { return FFilterIndex; }  // 1-based
  void SetFilterIndex(int value) { FFilterIndex = value; }
  const String& InitialDir() const { return FInitialDir; }
  void SetInitialDir(const String& value) { FInitialDir = value; }
  const String& Title() const { return FTitle; }
  void SetTitle(const String& value) { FTitle = value; }
  TOpenOptions Options() const { return FOptions; }
  void SetOptions(TOpenOptions value) { FOptions = value; }
  // The chosen file's full path (and the name offered when it opens).
  const String& FileName() const { return FFileName; }
  void SetFileName(const String& value) { FFileName = value; }

  // Shows the dialog, owned by `owner` (or the active window); true when a
  // file was chosen. A failure of the dialog itself raises an error.
  bool Execute(HWND owner = nullptr);
  // The dialog's window while it is open, else nullptr.
  HWND DialogWindow() const { return FDialog; }
  // Called once the dialog is shown (its window is DialogWindow()).
  TNotifyEvent OnShow;

protected:
  // A template of controls added to the dialog (DWORD-aligned memory), or
  // nullptr for none.
  virtual const void* CustomTemplate() { return nullptr; }
  // Messages of the hook dialog that holds the added controls; the return
  // value as a hook procedure's. Exceptions are reported by the caller.
  virtual UINT_PTR HookMessage(HWND hook, UINT msg, WPARAM wparam, LPARAM lparam);

private:
  static UINT_PTR CALLBACK HookProc(HWND hook, UINT msg, WPARAM wparam, LPARAM lparam);
  String FFilter, FInitialDir, FTitle, FFileName;
  int FFilterIndex = 1;
  TOpenOptions FOptions = ofHideReadOnly | ofEnableSizing;
  HWND FDialog = nullptr;
};

// Decodes a picture file for a preview of about `target` pixels; raises any
// error (the preview then stays blank). It runs on the worker thread.
using TPreviewLoader = std::function<TImage32(const String& fileName, TPictureSize target)>;

// The open dialog with a preview pane beside the list: the picture under the
// selection, shrunk to fit with its aspect ratio kept and composed over the
// pane's colour, and its size in pixels; blank for a folder, a non-picture or
// a damaged file. Browsing never shows an error box, and never waits for a
// picture: each is decoded on the worker (TPictureWorker) for the pane's size
// and drawn when it arrives; a newer selection supersedes it.
class TOpenPictureDialog : public TOpenDialog {
public:
  explicit TOpenPictureDialog(TComponent* owner = nullptr);
  void SetLoader(TPreviewLoader loader) { FLoader = std::move(loader); }
  // What a selection shows: the dialog calls it on every change of the
  // selection; an empty name clears the pane. The picture follows once it
  // is decoded.
  void ShowPreview(const String& fileName);
  // The preview pane's window while the dialog is open.
  HWND PreviewWindow() const { return FPreview; }
  // The pane's text: "width × height" of the picture shown (its size in the
  // file), else empty.
  const String& PreviewText() const { return FPreviewText; }
  // True while the selected picture is still being decoded.
  bool PreviewLoading() { return FWorker.Busy(); }

protected:
  const void* CustomTemplate() override;
  UINT_PTR HookMessage(HWND hook, UINT msg, WPARAM wparam, LPARAM lparam) override;

private:
  void DrawPreview(const DRAWITEMSTRUCT& item);
  void PreviewReady(uint64_t generation);
  TPreviewLoader FLoader;
  TPictureWorker FWorker;
  std::vector<DWORD> FTemplate;
  HWND FPreview = nullptr;
  TImage32 FImage;
  String FPreviewText;
};
