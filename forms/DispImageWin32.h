// The picture window (Windows build).
#pragma once

#include "forms/DispImage.h"
#include "toolkit/Forms.h"
#include "toolkit/pictures/PictureFormats.h"

class TImage;

// Replaces the picture of `view` with the one in `fileName`, decoded for the
// view's size. On failure the view keeps what it had and the error is raised.
void LoadPictureFile(TImage* view, const String& fileName);

class TDispImageForm : public TForm, public TDispImageCore {
public:
  // Builds the window and runs FormCreate; a failure there goes to the error
  // report and the window is built all the same.
  explicit TDispImageForm(TComponent* owner);
  ~TDispImageForm() override;

  TImage* Image1 = nullptr;
  TTimer* Timer1 = nullptr;

protected:
  void WndProc(TMessage& message) override;

  void HostSetSize(int32_t width, int32_t height) override;
  void HostLoadPicture(const String& fileName) override;
  void HostStartTimer(uint32_t interval) override;
  void HostClose() override { Close(); }
  void HostCancel() override;
  bool HostInModalRun() override { return InModal(); }
  bool HostActive() override { return Active(); }
  void HostRelease() override { Release(); }

private:
  void FitImage();
};

// The picture window while one exists.
extern TDispImageForm* DispImageForm;
