// The picture window (Windows build).
#pragma once

#include <memory>

#include "forms/DispImage.h"
#include "toolkit/Forms.h"
#include "toolkit/pictures/PictureFormats.h"

class TImage;

// Replaces the picture of `view` with the one in `fileName`, decoded for
// `target` (physical pixels), or for the view's own size without one. On
// failure the view keeps what it had and the error is raised.
void LoadPictureFile(TImage* view, const String& fileName, TPictureSize target);
void LoadPictureFile(TImage* view, const String& fileName);

// What ShowModal gives when the user cancelled the action (right button or
// Esc). Every other end of the run, the timer's among them, gives mrOk.
constexpr int kPictureCancelled = mrCancel;

class TDispImageForm : public TForm, public TDispImageCore {
public:
  // Builds the window for `pictureFile`, shown for `pictureTime` seconds once
  // active, and runs FormCreate; a failure there goes to the error report and
  // the window is built all the same.
  // A preload that serves the file at the view's size gives the picture.
  TDispImageForm(TComponent* owner, const String& pictureFile, int32_t pictureTime,
                 std::unique_ptr<TPicturePreload> preload = nullptr);
  ~TDispImageForm() override;

  TImage* Image1 = nullptr;
  TTimer* Timer1 = nullptr;

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;

  void HostSetSize(int32_t width, int32_t height) override;
  void HostLoadPicture(const String& fileName, TPictureSize target) override;
  void HostStartTimer(uint32_t interval) override;
  void HostClose() override { Close(); }
  void HostCancel() override;
  bool HostInModalRun() override { return InModal(); }
  bool HostActive() override { return Active(); }
  void HostRelease() override { Release(); }

private:
  void FitImage();

  std::unique_ptr<TPicturePreload> FPreload;  // taken by the first load
};
