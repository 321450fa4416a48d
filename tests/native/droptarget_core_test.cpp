// The hook and the drop target over a fake toolkit and a fake shell: where
// the hook goes, the order in which messages meet it, the window's
// re-creation, the order of the drop calls and the error path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "droptarget/DROPDST.h"

namespace {

using Log = std::vector<std::string>;

std::string Hex(uintptr_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
  return text;
}

constexpr uint32_t kWmSize = 0x0005;
constexpr uint32_t kWmPaint = 0x000F;

// A control of the fake toolkit: a parent, a window made on demand, and a
// replaceable handler whose default records what the control itself got.
class FakeControl : public TComponent {
public:
  FakeControl(const std::string& name, TComponent* owner, Log& log, bool form = false)
      : TComponent(owner), name(name), form(form), log(log) {
    windowProc = [this](TMessage& m) {
      this->log.push_back(this->name + " " + std::to_string(m.Msg));
      m.Result = 7;
    };
  }
  // The hook sees controls as TWinControl pointers it never looks into.
  TWinControl* Win() { return reinterpret_cast<TWinControl*>(static_cast<TComponent*>(this)); }
  // A message on its way through WindowProc, as the toolkit delivers it.
  intptr_t Send(uint32_t msg, uintptr_t wparam = 0) {
    TMessage m{msg, wparam, 0, 0};
    windowProc(m);
    return m.Result;
  }
  // The window goes and a new one comes, with the messages a re-creation sends.
  void Recreate(uintptr_t newHandle) {
    Send(kWmDestroy);
    handle = 0;
    handle = newHandle;
    Send(kWmCreate);
  }

  std::string name;
  bool form;
  FakeControl* parent = nullptr;
  uintptr_t handle = 0;
  bool cannotCreate = false;
  TWndMethod windowProc;
  Log& log;
};

FakeControl* Fake(TWinControl* control) {
  return static_cast<FakeControl*>(reinterpret_cast<TComponent*>(control));
}

struct FakeDrop {
  std::vector<String> names;
  TDropPoint point;
};

struct FakeDropApi final : DropApi {
  Log& log;
  uintptr_t nextHandle = 0x100;
  std::set<uintptr_t> deadWindows;
  std::map<uintptr_t, FakeDrop> drops;

  explicit FakeDropApi(Log& log) : log(log) { SetDropPlatform(this); }
  ~FakeDropApi() override { SetDropPlatform(nullptr); }

  TWinControl* AsWinControl(TComponent* component) override {
    return dynamic_cast<FakeControl*>(component) ? reinterpret_cast<TWinControl*>(component) : nullptr;
  }
  TComponent* AsComponent(TWinControl* control) override { return reinterpret_cast<TComponent*>(control); }
  bool IsForm(TWinControl* control) override { return Fake(control)->form; }
  TWinControl* Parent(TWinControl* control) override {
    FakeControl* parent = Fake(control)->parent;
    return parent ? parent->Win() : nullptr;
  }
  uintptr_t Handle(TWinControl* control) override {
    FakeControl* c = Fake(control);
    if (!c->handle && !c->cannotCreate) {
      c->handle = nextHandle++;
      log.push_back("create " + c->name);
    }
    return c->handle;
  }
  bool HandleAllocated(TWinControl* control) override { return Fake(control)->handle != 0; }
  TWndMethod WindowProc(TWinControl* control) override { return Fake(control)->windowProc; }
  void SetWindowProc(TWinControl* control, TWndMethod proc) override { Fake(control)->windowProc = std::move(proc); }

  void DragAcceptFiles(uintptr_t wnd, int32_t accept) override {
    log.push_back("DragAcceptFiles " + Hex(wnd) + " " + std::to_string(accept));
  }
  uint32_t DragQueryFileW(uintptr_t drop, uint32_t index, char16_t* buffer, uint32_t size) override {
    log.push_back("DragQueryFileW " + Hex(drop) + " " + Hex(index) + " " + std::to_string(size));
    const auto& names = drops.at(drop).names;
    if (index == kDragQueryCount) return static_cast<uint32_t>(names.size());
    if (index >= names.size()) return 0;
    const String& name = names[index];
    if (!buffer) return static_cast<uint32_t>(name.size());
    if (size == 0) return 0;
    const size_t n = std::min<size_t>(name.size(), size - 1);
    std::copy_n(name.data(), n, buffer);
    buffer[n] = 0;
    return static_cast<uint32_t>(n);
  }
  bool DragQueryPoint(uintptr_t drop, TDropPoint& point) override {
    log.push_back("DragQueryPoint " + Hex(drop));
    point = drops.at(drop).point;
    return true;
  }
  void DragFinish(uintptr_t drop) override { log.push_back("DragFinish " + Hex(drop)); }
  bool IsWindow(uintptr_t wnd) override {
    return wnd != 0 && wnd < nextHandle && !deadWindows.count(wnd);
  }
};

// Records what reaches a hook, and the window it knows of at that moment.
template <class Base>
class TRecorder : public Base {
public:
  TRecorder(const std::string& name, TComponent* owner, Log& log) : Base(owner), name(name), log(log) {}
  using TControlHook::SetHook;
  std::string name;
  Log& log;
  std::vector<std::pair<int, uintptr_t>> codes;  // code, handle right after it

protected:
  void TargetHandleChanged(uint8_t code) override {
    Base::TargetHandleChanged(code);
    codes.emplace_back(code, this->HookTargetHandle());
  }
  void TargetWndProc(TMessage& message) override {
    log.push_back(name + " " + std::to_string(message.Msg) + " @" + Hex(this->HookTargetHandle()));
    Base::TargetWndProc(message);
  }
};
using TTestHook = TRecorder<TControlHook>;
using TTestDrop = TRecorder<TDropDst>;

String ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.Message();
  }
  return u"<no error>";
}

const String kNoTarget = u"フック先を特定できません。";

// A form F with a panel P holding a button B, all owned by F.
class HookCore : public testing::Test {
protected:
  Log log;
  FakeDropApi api{log};
  FakeControl* form = new FakeControl("F", nullptr, log, true);
  FakeControl* panel = new FakeControl("P", form, log);
  FakeControl* button = new FakeControl("B", form, log);

  HookCore() {
    panel->parent = form;
    button->parent = panel;
  }
  ~HookCore() override { delete form; }
  std::string Window(FakeControl* c) { return Hex(c->handle); }
};

TEST_F(HookCore, FindOwnerFormFollowsParentsThenOwners) {
  FakeControl lonePanel("Q", nullptr, log);
  FakeControl inLonePanel("C", form, log);  // owned by the form, but sits on a panel without one
  inLonePanel.parent = &lonePanel;
  TComponent ownedByButton(button);
  TComponent ownedByForm(form);
  TComponent ownedByLonePanel(&lonePanel);
  TComponent unowned;
  struct Case { const char* what; TComponent* component; FakeControl* form; };
  const Case cases[] = {
      {"none", nullptr, nullptr},
      {"a form", form, form},
      {"a panel on it", panel, form},
      {"a button on the panel", button, form},
      {"a component owned by the button", &ownedByButton, form},
      {"a component owned by the form", &ownedByForm, form},
      {"a panel without a form", &lonePanel, nullptr},
      {"a control whose parents end without a form, though its owner is one", &inLonePanel, nullptr},
      {"a component owned by a panel without a form", &ownedByLonePanel, nullptr},
      {"a component without owner", &unowned, nullptr},
  };
  for (const auto& c : cases) {
    TWinControl* found = TControlHook::FindOwnerForm(c.component);
    EXPECT_EQ(found, c.form ? c.form->Win() : nullptr) << c.what;
  }
  EXPECT_TRUE(log.empty()) << "looking up a form makes no window";
}

TEST_F(HookCore, HooksTheControlOrTheForm) {
  struct Case {
    const char* what;
    THookTarget target;
    bool ownedByForm;
    FakeControl* control;
    FakeControl* hooked;
  };
  const Case cases[] = {
      {"the control", htControl, false, button, button},
      {"the form itself as the control", htControl, false, form, form},
      {"the owning form, no control", htForm, true, nullptr, form},
      {"the form of a button on a panel", htForm, false, button, form},
      {"the form of the control rather than the owner's", htForm, true, panel, form},
  };
  for (const auto& c : cases) {
    log.clear();
    form->handle = panel->handle = button->handle = 0;
    TTestHook hook("H", c.ownedByForm ? form : nullptr, log);
    if (c.control) hook.SetControl(c.control->Win());
    hook.SetTarget(c.target);
    ASSERT_EQ(hook.HookTarget(), c.hooked->Win()) << c.what;
    EXPECT_EQ(hook.HookTargetHandle(), c.hooked->handle) << c.what;
    EXPECT_NE(hook.HookTargetHandle(), 0u) << c.what;
    EXPECT_EQ(std::count(log.begin(), log.end(), "create " + c.hooked->name), 1) << c.what << ": made when needed";
    log.clear();
    EXPECT_EQ(c.hooked->Send(kWmPaint), 7) << c.what;
    EXPECT_EQ(log, (Log{"H 15 @" + Window(c.hooked), c.hooked->name + " 15"})) << c.what;
  }
}

TEST_F(HookCore, NoTargetIsSilentForAControlAndAnErrorForAForm) {
  TTestHook unowned("H", nullptr, log);
  unowned.SetTarget(htControl);
  EXPECT_EQ(unowned.HookTarget(), nullptr);
  EXPECT_EQ(unowned.HookTargetHandle(), 0u);

  EXPECT_EQ(ErrorOf([&] { unowned.SetTarget(htForm); }), kNoTarget);
  EXPECT_EQ(unowned.Target(), htForm) << "the property keeps its new value";
  EXPECT_EQ(unowned.HookTarget(), nullptr);

  FakeControl lonePanel("Q", nullptr, log);
  EXPECT_EQ(ErrorOf([&] { unowned.SetControl(lonePanel.Win()); }), kNoTarget);
  EXPECT_EQ(unowned.Control(), lonePanel.Win());
  EXPECT_EQ(unowned.HookTarget(), nullptr);

  // A form whose window cannot be made counts as none.
  form->cannotCreate = true;
  TTestHook owned("H", form, log);
  EXPECT_EQ(ErrorOf([&] { owned.SetTarget(htForm); }), kNoTarget);
  EXPECT_EQ(owned.HookTarget(), nullptr);
  form->cannotCreate = false;
  owned.SetTarget(htForm);
  EXPECT_EQ(owned.HookTarget(), form->Win());
  EXPECT_TRUE(unowned.codes.empty() && owned.codes.empty());
}

TEST_F(HookCore, AssigningTheSameControlAgainHooksAnewOnce) {
  TTestHook hook("H", nullptr, log);
  hook.SetControl(button->Win());
  hook.SetControl(button->Win());
  hook.SetControl(button->Win());
  log.clear();
  button->Send(kWmPaint);
  EXPECT_EQ(log, (Log{"H 15 @" + Window(button), "B 15"}));
  // And a hook told twice to go on stays a single hook.
  hook.SetHook(true);
  log.clear();
  button->Send(kWmPaint);
  EXPECT_EQ(log, (Log{"H 15 @" + Window(button), "B 15"}));
}

TEST_F(HookCore, ReCreatedWindowIsTrackedThroughDestroyCreateAndTheNextMessage) {
  TTestHook hook("H", form, log);
  hook.SetTarget(htForm);
  const uintptr_t first = form->handle;
  log.clear();
  form->Recreate(0x999);
  const std::string marker = Hex(TControlHook::kRecreatingHandle);
  EXPECT_EQ(log, (Log{"H 2 @0", "F 2", "H 1 @" + marker, "F 1"}));
  EXPECT_EQ(hook.codes, (std::vector<std::pair<int, uintptr_t>>{{1, 0}}));
  EXPECT_EQ(hook.HookTargetHandle(), TControlHook::kRecreatingHandle);
  log.clear();
  form->Send(kWmSize);
  form->Send(kWmPaint);
  EXPECT_EQ(log, (Log{"H 5 @999", "F 5", "H 15 @999", "F 15"}));
  EXPECT_EQ(hook.codes, (std::vector<std::pair<int, uintptr_t>>{{1, 0}, {2, 0x999}}));
  EXPECT_NE(first, 0x999u);
}

TEST_F(HookCore, ControlDestroyedFirstLetsGoOfIt) {
  auto hook = std::make_unique<TTestHook>("H", nullptr, log);
  hook->SetControl(button->Win());
  delete button;
  EXPECT_EQ(hook->codes, (std::vector<std::pair<int, uintptr_t>>{{1, 0}}));
  EXPECT_EQ(hook->HookTarget(), nullptr);
  EXPECT_EQ(hook->HookTargetHandle(), 0u);
  EXPECT_EQ(hook->Control(), nullptr) << "a destroyed control is not reached again";
  hook->SetTarget(htControl);
  EXPECT_EQ(ErrorOf([&] { hook->SetTarget(htForm); }), kNoTarget);
  hook.reset();  // nothing of the button is touched on the way out
}

TEST_F(HookCore, NamedControlDestroyedWhileTheFormIsHookedIsForgotten) {
  TTestHook hook("H", nullptr, log);
  hook.SetControl(button->Win());
  hook.SetTarget(htForm);
  ASSERT_EQ(hook.HookTarget(), form->Win());
  delete button;
  EXPECT_EQ(hook.HookTarget(), form->Win()) << "the form is still hooked";
  EXPECT_EQ(hook.Control(), nullptr);
  EXPECT_EQ(ErrorOf([&] { hook.SetTarget(htForm); }), kNoTarget);
}

TEST_F(HookCore, ComponentDestroyedFirstGivesTheHandlerBack) {
  auto hook = std::make_unique<TTestHook>("H", nullptr, log);
  hook->SetControl(button->Win());
  hook.reset();
  log.clear();
  EXPECT_EQ(button->Send(kWmPaint), 7);
  EXPECT_EQ(log, Log{"B 15"});
}

TEST_F(HookCore, StackedHooksCanGoInEitherOrder) {
  for (bool reverse : {true, false}) {
    log.clear();
    auto first = std::make_unique<TTestHook>("H1", nullptr, log);
    auto second = std::make_unique<TTestHook>("H2", nullptr, log);
    first->SetControl(button->Win());
    second->SetControl(button->Win());
    const std::string at = " 15 @" + Window(button);
    log.clear();
    button->Send(kWmPaint);
    EXPECT_EQ(log, (Log{"H2" + at, "H1" + at, "B 15"}));
    log.clear();
    if (reverse) {
      second.reset();
      button->Send(kWmPaint);
      EXPECT_EQ(log, (Log{"H1" + at, "B 15"}));
    } else {
      first.reset();
      button->Send(kWmPaint);
      EXPECT_EQ(log, (Log{"H2" + at, "B 15"})) << "the upper hook goes straight to the control";
    }
    first.reset();
    second.reset();
    log.clear();
    button->Send(kWmPaint);
    EXPECT_EQ(log, Log{"B 15"});
  }
}

TEST_F(HookCore, ControlMovedToAnotherOwnerStaysHooked) {
  auto hook = std::make_unique<TTestHook>("H", form, log);  // hears of its siblings
  hook->SetControl(button->Win());
  TComponent newOwner;
  newOwner.InsertComponent(button);
  EXPECT_EQ(hook->HookTarget(), button->Win());
  EXPECT_TRUE(hook->codes.empty());
  delete button;  // still heard of after the move
  EXPECT_EQ(hook->HookTarget(), nullptr);
  EXPECT_EQ(hook->Control(), nullptr);
}

TEST_F(HookCore, DesignStateStoresButNeverHooks) {
  TTestHook hook("H", nullptr, log);
  hook.SetDesigning(true);
  hook.SetControl(button->Win());
  hook.SetTarget(htForm);
  hook.SetTarget(htControl);
  hook.Loaded();
  EXPECT_EQ(hook.Control(), button->Win());
  EXPECT_EQ(hook.Target(), htControl);
  EXPECT_EQ(hook.HookTarget(), nullptr);
  EXPECT_EQ(hook.HookTargetHandle(), 0u);
  button->Send(kWmPaint);
  EXPECT_EQ(log, Log{"B 15"}) << "no window made, no message taken";
}

// ---- the drop target ----------------------------------------------------------

class DropCore : public HookCore {
protected:
  std::unique_ptr<TTestDrop> dst = std::make_unique<TTestDrop>("D", form, log);
  std::vector<std::pair<std::vector<String>, TDropPoint>> calls;

  DropCore() {
    dst->SetTarget(htForm);
    dst->SetOnFileDrop([this](TComponent* sender, const TStrings& files, int32_t x, int32_t y) {
      EXPECT_EQ(sender, dst.get());
      log.push_back("OnFileDrop");
      calls.push_back({{files.begin(), files.end()}, {x, y}});
    });
    log.clear();
  }
  ~DropCore() override { dst.reset(); }
  intptr_t Drop(uintptr_t drop, std::vector<String> names, TDropPoint point = {}) {
    api.drops[drop] = {std::move(names), point};
    return form->Send(kWmDropFiles, drop);
  }
  std::string Accept(int32_t accept) { return "DragAcceptFiles " + Window(form) + " " + std::to_string(accept); }
};

TEST_F(DropCore, OneDropIsOneCallWithTheNamesInOrderAndThePoint) {
  const std::vector<String> names = {u"C:\\pics\\b.jpg", u"C:\\pics\\a.png", u"D:\\写真\\c.bmp"};
  EXPECT_EQ(Drop(0xD1, names, {12, 34}), 0) << "the result is left alone";
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].first, names);
  EXPECT_EQ(calls[0].second.X, 12);
  EXPECT_EQ(calls[0].second.Y, 34);
  Log expected = {"D 563 @" + Window(form), "DragQueryFileW d1 ffffffff 0"};
  for (size_t i = 0; i < names.size(); ++i) {
    // the length first, then the name into a buffer that takes it whole
    expected.push_back("DragQueryFileW d1 " + std::to_string(i) + " 0");
    expected.push_back("DragQueryFileW d1 " + std::to_string(i) + " " + std::to_string(names[i].size() + 1));
  }
  expected.insert(expected.end(), {"DragQueryPoint d1", "OnFileDrop", "DragFinish d1"});
  EXPECT_EQ(log, expected) << "the message does not reach the form's own handler";
}

TEST_F(DropCore, EmptyDropAndLongNames) {
  Drop(0xD1, {});
  const String longName = u"C:\\" + String(296, u'x') + u".jpg";
  Drop(0xD2, {longName, u""});
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0].first.empty()) << "the handler is called all the same";
  EXPECT_EQ(calls[1].first, (std::vector<String>{longName, u""}));
  EXPECT_EQ(longName.size(), 303u);
  EXPECT_EQ(std::count(log.begin(), log.end(), "DragFinish d1"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "DragFinish d2"), 1);
}

TEST_F(DropCore, ErrorInTheHandlerIsReportedOnceAndTheDropReleasedAfter) {
  std::vector<String> reports;
  dst->SetOnDropError([&] {
    try {
      throw;
    } catch (const Exception& e) {
      reports.push_back(e.Message());
    } catch (...) {
      reports.push_back(u"?");
    }
    log.push_back("report");
  });
  dst->SetOnFileDrop([this](TComponent*, const TStrings& files, int32_t, int32_t) {
    log.push_back("OnFileDrop");
    files[files.Count()];  // reads past the end
  });
  Drop(0xD1, {u"a"});
  EXPECT_EQ(reports, std::vector<String>{u"リストのインデックスが範囲外です (1)。"});
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ((Log{log.end() - 3, log.end()}), (Log{"OnFileDrop", "report", "DragFinish d1"}));

  dst->SetOnFileDrop([this](TComponent*, const TStrings&, int32_t, int32_t) { log.push_back("ok"); });
  log.clear();
  Drop(0xD2, {u"b"});
  EXPECT_EQ(reports.size(), 1u);
  EXPECT_EQ(log.back(), "DragFinish d2");
  EXPECT_EQ(std::count(log.begin(), log.end(), "ok"), 1);
}

TEST_F(DropCore, WithoutAReportTheErrorGoesOnToTheWindowOnceTheDropIsReleased) {
  dst->SetOnFileDrop([this](TComponent*, const TStrings&, int32_t, int32_t) {
    log.push_back("OnFileDrop");
    throw Exception(u"読み込めません");
  });
  EXPECT_THROW(Drop(0xD1, {u"a"}), Exception);
  EXPECT_EQ(log.back(), "DragFinish d1");
  EXPECT_EQ(std::count(log.begin(), log.end(), "DragFinish d1"), 1);
}

TEST_F(DropCore, WithoutHandlerTheDropIsOnlyReleased) {
  dst->SetOnFileDrop(nullptr);
  Drop(0xD1, {u"a"});
  EXPECT_EQ(log, (Log{"D 563 @" + Window(form), "DragFinish d1"}));
}

TEST_F(DropCore, HandlerMayReplaceItselfOrDestroyTheDropTarget) {
  const std::string note = "the handler's own state, used after it was replaced";
  dst->SetOnFileDrop([this, note](TComponent*, const TStrings&, int32_t, int32_t) {
    dst->SetOnFileDrop(nullptr);
    log.push_back(note);
  });
  Drop(0xD1, {u"a"});
  EXPECT_EQ(std::count(log.begin(), log.end(), note), 1);
  dst->SetOnFileDrop([this](TComponent*, const TStrings&, int32_t, int32_t) { dst.reset(); });
  log.clear();
  Drop(0xD2, {u"a"});
  EXPECT_EQ(dst, nullptr);
  EXPECT_EQ(log.back(), "DragFinish d2");
  log.clear();
  form->Send(kWmPaint);
  EXPECT_EQ(log, Log{"F 15"});
}

TEST_F(DropCore, OtherMessagesGoOnToTheControl) {
  EXPECT_EQ(form->Send(kWmPaint), 7);
  EXPECT_EQ(log, (Log{"D 15 @" + Window(form), "F 15"}));
}

TEST_F(DropCore, AcceptDropFollowsAtOnceAndOnlyOnChange) {
  dst->SetAcceptDrop(true);
  EXPECT_TRUE(log.empty());
  dst->SetAcceptDrop(false);
  dst->SetAcceptDrop(false);
  dst->SetAcceptDrop(true);
  EXPECT_EQ(log, (Log{Accept(0), Accept(-1)}));
}

TEST_F(DropCore, AcceptDropWaitsForALiveWindow) {
  TTestDrop loose("L", nullptr, log);
  loose.SetAcceptDrop(false);  // nothing hooked
  api.deadWindows.insert(form->handle);
  dst->SetAcceptDrop(false);  // the window is gone
  EXPECT_TRUE(log.empty());
  api.deadWindows.clear();
  form->Recreate(api.nextHandle++);
  dst->SetAcceptDrop(true);  // between creation and the next message
  EXPECT_EQ(log, (Log{"D 2 @0", "F 2", "D 1 @" + Hex(TControlHook::kRecreatingHandle), "F 1"}));
  log.clear();
  form->Send(kWmSize);
  EXPECT_EQ(log.front(), Accept(-1)) << "the new window is registered before its message is handled";
}

TEST_F(DropCore, LayoutWithAcceptDropOffEndsUnregistered) {
  TTestDrop loaded("L", form, log);
  loaded.BeginLoading();
  loaded.SetTarget(htForm);
  loaded.SetAcceptDrop(false);
  log.clear();
  loaded.Loaded();
  EXPECT_EQ(log, Log{Accept(0)});
  EXPECT_FALSE(loaded.InState(csLoading));
}

TEST_F(DropCore, ReCreatedWindowIsRegisteredAgain) {
  dst->SetAcceptDrop(false);
  dst->SetAcceptDrop(true);
  log.clear();
  form->Recreate(api.nextHandle++);
  EXPECT_EQ(std::count(log.begin(), log.end(), Accept(-1)), 0);
  form->Send(kWmSize);
  form->Send(kWmSize);
  EXPECT_EQ(std::count(log.begin(), log.end(), Accept(-1)), 1);
}

TEST_F(DropCore, DestroyingTheDropTargetUnregistersALiveWindow) {
  dst.reset();
  EXPECT_EQ(log, Log{Accept(0)});
  log.clear();
  TTestDrop off("O", form, log);
  off.SetTarget(htForm);
  off.SetAcceptDrop(false);
  log.clear();
  {
    TTestDrop gone("G", form, log);
    gone.SetTarget(htForm);
    api.deadWindows.insert(form->handle);
  }
  EXPECT_TRUE(log.empty());
}

}  // namespace
