#include "droptarget/DROPDST.h"

#include <algorithm>

#include "toolkit/Handle.h"

namespace {

// A boolean true as the shell has always been handed it: every bit set.
constexpr int32_t kAcceptAll = -1;

// Releases a drop handle at the end of a scope, whatever happened in it.
void FinishDrop(uintptr_t drop) { DropPlatform().DragFinish(drop); }
using TDropHandle = THandleGuard<TValueHandleTraits<uintptr_t, 0, FinishDrop>>;

// One dropped name, whole: the shell is asked for its length first, so a
// name beyond the classic path limit is not cut.
String DroppedName(DropApi& api, uintptr_t drop, uint32_t index) {
  const uint32_t length = api.DragQueryFileW(drop, index, nullptr, 0);
  if (length == 0 || length == UINT32_MAX) return String();  // no name, or none a buffer can take
  String name(size_t{length} + 1, u'\0');
  const uint32_t copied = api.DragQueryFileW(drop, index, name.data(), length + 1);
  name.resize(std::min(copied, length));
  if (const size_t end = name.find(u'\0'); end != String::npos) name.resize(end);
  return name;
}

}  // namespace

TDropDst::TDropDst(TComponent* owner) : TControlHook(owner) {}

TDropDst::~TDropDst() {
  // A window left registered would go on taking drops that nobody releases.
  if (FAcceptDrop) {
    FAcceptDrop = false;
    UpdateDragAccept();
  }
}

void TDropDst::SetAcceptDrop(bool value) {
  if (value == FAcceptDrop) return;
  FAcceptDrop = value;
  UpdateDragAccept();
}

void TDropDst::Loaded() {
  TControlHook::Loaded();
  UpdateDragAccept();
}

void TDropDst::UpdateDragAccept() {
  const uintptr_t wnd = HookTargetHandle();
  if (wnd == 0 || wnd == kRecreatingHandle) return;
  DropApi& api = DropPlatform();
  if (!api.IsWindow(wnd)) return;
  api.DragAcceptFiles(wnd, FAcceptDrop ? kAcceptAll : 0);
}

void TDropDst::TargetHandleChanged(uint8_t code) {
  TControlHook::TargetHandleChanged(code);
  UpdateDragAccept();
}

void TDropDst::TargetWndProc(TMessage& message) {
  if (message.Msg != kWmDropFiles) {
    TControlHook::TargetWndProc(message);
    return;
  }
  // The handler may destroy this component; nothing below touches it after,
  // so the report is taken beforehand.
  const TDropErrorEvent report = FOnDropError;
  const TDropHandle drop(message.WParam);
  try {
    DoFileDrop(message.WParam);
  } catch (...) {
    if (!report) throw;
    report();
  }
}

void TDropDst::DoFileDrop(uintptr_t drop) {
  if (!FOnFileDrop) return;
  DropApi& api = DropPlatform();
  TStringList files;
  const uint32_t count = api.DragQueryFileW(drop, kDragQueryCount, nullptr, 0);
  for (uint32_t i = 0; i < count; ++i) files.Add(DroppedName(api, drop, i));
  TDropPoint point;
  api.DragQueryPoint(drop, point);
  // A copy: the handler may assign OnFileDrop while it runs.
  const TFileDropEvent handler = FOnFileDrop;
  handler(this, files, point.X, point.Y);
}
