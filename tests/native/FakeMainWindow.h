// The main window's controls as plain values, for the handlers under test:
// what the handlers set is kept, and the calls that matter for order go
// into `record`. The exit sequence's own parts are left to the test.
#pragma once

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "forms/TolviMain.h"

class TFakeWindowParts : public TTolviMainCore {
public:
  std::vector<std::string> record;

  // The controls' state.
  bool checked[5] = {};
  bool enabled[5] = {true, true, true, true, true};
  bool executeEnabled = false;
  bool confirm = false;
  int32_t position = 0;
  String clock, timeText, preview;
  bool timeEnabled = true;
  uint64_t ticks = 0;
  // The dialog's answer: empty is a cancel.
  String chosen;
  std::vector<String> dialogFolders;
  std::vector<String> errors;
  std::function<void(const String&)> decode;  // throws for a damaged picture

protected:
  void HostUseMenuFontFace() override { record.push_back("MenuFontFace"); }
  void HostPrepareActions() override {
    record.push_back("PrepareActions");
    std::fill(std::begin(checked), std::end(checked), false);
  }
  void HostSetActionCaption(TExitMode mode, const String& caption) override {
    record.push_back("Caption(" + std::to_string(ExitModeNumber(mode)) + "," + ToUtf8(caption) + ")");
  }
  void HostSetLaterFontSizes() override { record.push_back("LaterFontSizes"); }
  bool HostActionChecked(TExitMode mode) override { return checked[ExitModeNumber(mode) - 1]; }
  void HostSetActionEnabled(TExitMode mode, bool value) override {
    record.push_back("Enable(" + std::to_string(ExitModeNumber(mode)) + "," + (value ? "1" : "0") + ")");
    enabled[ExitModeNumber(mode) - 1] = value;
  }
  void HostSetExecuteEnabled(bool value) override { executeEnabled = value; }
  void HostSetClockText(const String& text) override {
    record.push_back("Clock(" + ToUtf8(text) + ")");
    clock = text;
  }
  uint64_t HostTickCount() override { return ticks; }
  bool HostConfirmChecked() override { return confirm; }
  void HostSetConfirmChecked(bool value) override {
    record.push_back(std::string("Confirm(") + (value ? "1" : "0") + ")");
    confirm = value;
  }
  int32_t HostUpDownPosition() override { return position; }
  void HostSetUpDownPosition(int32_t value) override {
    record.push_back("Position(" + std::to_string(value) + ")");
    position = value;
  }
  void HostSetTimeText(const String& text) override {
    record.push_back("TimeText(" + ToUtf8(text) + ")");
    timeText = text;
  }
  void HostSetTimeControlsEnabled(bool value) override {
    record.push_back(std::string("TimeControls(") + (value ? "1" : "0") + ")");
    timeEnabled = value;
  }
  void HostLoadPreview(const String& fileName) override {
    record.push_back("Preview(" + ToUtf8(fileName) + ")");
    if (decode) decode(fileName);
    preview = fileName;
  }
  void HostClearPreview() override {
    record.push_back("ClearPreview");
    preview.clear();
  }
  bool HostChoosePicture(const String& initialDir, String& fileName) override {
    dialogFolders.push_back(initialDir);
    fileName = chosen;
    return !chosen.empty();
  }
  void HostReportError(const Exception& error) override {
    record.push_back("Error(" + ToUtf8(error.Message()) + ")");
    errors.push_back(error.Message());
  }
};
