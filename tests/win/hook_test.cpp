// The window-procedure hook on real toolkit windows: where it goes, the
// order in which messages meet it, the re-creation of the hooked window, the
// end of either side first and stacked hooks. And the toolkit underneath it:
// a window's creation and destruction pass through WindowProc, and a
// re-created window keeps the control, its properties and its WindowProc.
#include <gtest/gtest.h>

#include "MessagePump.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "droptarget/CTLHOOK.h"
#include "toolkit/Forms.h"

namespace {

struct TSeen {
  UINT Msg;
  uintptr_t Handle;  // the hook's window while it handled the message
  bool operator==(const TSeen&) const = default;
};

// A hook that records what reaches it.
class TRecordingHook : public TControlHook {
public:
  explicit TRecordingHook(TComponent* owner = nullptr, std::vector<int>* order = nullptr, int id = 0)
      : TControlHook(owner), FOrder(order), FId(id) {}
  using TControlHook::SetHook;
  std::vector<TSeen> seen;
  std::vector<std::pair<int, uintptr_t>> codes;  // code, the window right after it

  bool Saw(UINT msg) const {
    return std::any_of(seen.begin(), seen.end(), [msg](const TSeen& s) { return s.Msg == msg; });
  }

protected:
  void TargetHandleChanged(uint8_t code) override {
    TControlHook::TargetHandleChanged(code);
    codes.emplace_back(code, HookTargetHandle());
  }
  void TargetWndProc(TMessage& message) override {
    seen.push_back({message.Msg, HookTargetHandle()});
    if (FOrder && message.Msg == WM_NULL) FOrder->push_back(FId);
    TControlHook::TargetWndProc(message);
  }

private:
  std::vector<int>* FOrder;
  int FId;
};

// A control's handler that counts, in front of the control's own one; being
// a type of its own, it can be recognised in WindowProc afterwards.
struct TCountingProc {
  std::vector<int>* Order;
  TWndMethod Inner;
  void operator()(TMessage& message) const {
    if (message.Msg == WM_NULL) Order->push_back(0);
    Inner(message);
  }
};

bool IsCounting(const TWinControl* control) { return control->WindowProc().target<TCountingProc>() != nullptr; }

uintptr_t Wnd(TWinControl* control) { return reinterpret_cast<uintptr_t>(control->Handle()); }

String ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.Message();
  }
  return u"<no error>";
}

const String kNoTarget = u"フック先を特定できません。";

// A form with a panel holding a button; no window exists yet.
class HookWin : public testing::Test {
protected:
  std::unique_ptr<TApplication> app;
  TForm* form = nullptr;
  TPanel* panel = nullptr;
  TButton* button = nullptr;
  std::vector<int> order;  // who saw a WM_NULL, in turn: hooks by id, 0 the control

  void SetUp() override {
    if (!Application) app = std::make_unique<TApplication>();
    form = new TForm;
    form->SetBounds(50, 50, 300, 200);
    panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(10, 10, 200, 100);
    button = new TButton(form);
    button->SetParent(panel);
    button->SetBounds(10, 10, 80, 25);
    button->SetCaption(u"OK");
  }
  void TearDown() override {
    delete form;
    Pump();
  }
  // Puts a counting handler in front of a control's own one.
  void Count(TWinControl* control) { control->SetWindowProc(TCountingProc{&order, control->WindowProc()}); }
  std::vector<int> Ping(TWinControl* control) {
    order.clear();
    ::SendMessageW(control->Handle(), WM_NULL, 0, 0);
    return order;
  }
};

TEST_F(HookWin, CreationAndDestructionOfEveryWindowPassThroughWindowProc) {
  std::vector<std::pair<TWinControl*, UINT>> seen;
  for (TWinControl* c : std::initializer_list<TWinControl*>{form, panel, button}) {
    c->SetWindowProc([c, &seen, own = c->WindowProc()](TMessage& m) {
      if (m.Msg == WM_CREATE || m.Msg == WM_DESTROY) seen.emplace_back(c, m.Msg);
      own(m);
    });
  }
  form->HandleNeeded();
  EXPECT_EQ(seen, (std::vector<std::pair<TWinControl*, UINT>>{
                      {form, WM_CREATE}, {panel, WM_CREATE}, {button, WM_CREATE}}));
  seen.clear();
  form->DestroyHandle();
  EXPECT_FALSE(form->HandleAllocated() || panel->HandleAllocated() || button->HandleAllocated());
  EXPECT_EQ(seen, (std::vector<std::pair<TWinControl*, UINT>>{
                      {form, WM_DESTROY}, {panel, WM_DESTROY}, {button, WM_DESTROY}}));
}

TEST_F(HookWin, ReCreationKeepsTheControlsTheirPropertiesAndWindowProc) {
  Count(form);
  Count(button);
  form->HandleNeeded();
  const HWND oldForm = form->Handle();
  form->SetBorderStyle(bsDialog);  // a style only a new window can take
  ASSERT_TRUE(form->HandleAllocated());
  EXPECT_FALSE(::IsWindow(oldForm));
  EXPECT_TRUE(::GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  EXPECT_EQ(::GetParent(panel->Handle()), form->Handle());
  EXPECT_EQ(::GetParent(button->Handle()), panel->Handle());
  EXPECT_EQ(FindControl(button->Handle()), button);
  wchar_t text[16] = {};
  ::GetWindowTextW(button->Handle(), text, 16);
  EXPECT_EQ(S(text), u"OK");
  RECT r{};
  ::GetWindowRect(button->Handle(), &r);
  EXPECT_EQ(r.right - r.left, button->Scale(80));
  EXPECT_TRUE(IsCounting(form) && IsCounting(button));
  EXPECT_EQ(Ping(form), std::vector<int>{0});
  EXPECT_EQ(Ping(button), std::vector<int>{0});
}

TEST_F(HookWin, HooksTheControlOrTheForm) {
  struct Case {
    const char* what;
    THookTarget target;
    bool ownedByForm;
    TWinControl* control;
    TWinControl* hooked;
  };
  const Case cases[] = {
      {"a button", htControl, false, button, button},
      {"the owning form, no control", htForm, true, nullptr, form},
      {"the form of a panel", htForm, false, panel, form},
      {"the form of a button on a panel", htForm, false, button, form},
  };
  TWinControl* const all[] = {form, panel, button};
  for (TWinControl* control : all) Count(control);
  for (const auto& c : cases) {
    form->DestroyHandle();
    TRecordingHook hook(c.ownedByForm ? form : nullptr, &order, 1);
    hook.SetControl(c.control);
    hook.SetTarget(c.target);
    ASSERT_TRUE(c.hooked->HandleAllocated()) << c.what << ": the window is made when needed";
    EXPECT_EQ(hook.HookTarget(), c.hooked) << c.what;
    EXPECT_EQ(hook.HookTargetHandle(), Wnd(c.hooked)) << c.what;
    EXPECT_EQ(Ping(c.hooked), (std::vector<int>{1, 0})) << c.what << ": the hook first, then the control";
    // The control's own handling still does its work.
    ::SetWindowTextW(c.hooked->Handle(), L"new");
    wchar_t text[8] = {};
    ::GetWindowTextW(c.hooked->Handle(), text, 8);
    EXPECT_EQ(S(text), u"new") << c.what;
    EXPECT_TRUE(hook.Saw(WM_SETTEXT)) << c.what;
    for (TWinControl* other : all) {
      if (other == c.hooked) continue;
      EXPECT_EQ(Ping(other), std::vector<int>{0}) << c.what << ": only one is hooked";
    }
  }
}

TEST_F(HookWin, TheSameControlAgainHooksAnew) {
  Count(button);
  TRecordingHook hook(nullptr, &order, 1);
  hook.SetControl(button);
  hook.SetControl(button);
  EXPECT_EQ(Ping(button), (std::vector<int>{1, 0}));
  hook.SetHook(true);  // installing again is a move, not a second hook
  EXPECT_EQ(Ping(button), (std::vector<int>{1, 0}));
}

TEST_F(HookWin, NoTargetIsSilentForAControlAndAnErrorForAForm) {
  TRecordingHook hook;
  hook.SetTarget(htControl);
  EXPECT_EQ(hook.HookTarget(), nullptr);
  EXPECT_EQ(hook.HookTargetHandle(), 0u);
  EXPECT_EQ(ErrorOf([&] { hook.SetTarget(htForm); }), kNoTarget);
  EXPECT_EQ(hook.Target(), htForm);
  EXPECT_EQ(hook.HookTarget(), nullptr);
  // A panel that sits on no form has none either.
  TPanel lonePanel;
  EXPECT_EQ(ErrorOf([&] { hook.SetControl(&lonePanel); }), kNoTarget);
  EXPECT_EQ(hook.Control(), &lonePanel);
  EXPECT_EQ(hook.HookTarget(), nullptr);
}

TEST_F(HookWin, ReCreatedFormIsFollowedThroughDestroyCreateAndTheNextMessage) {
  TRecordingHook hook(form);
  hook.SetTarget(htForm);
  const uintptr_t oldWnd = Wnd(form);
  ASSERT_EQ(hook.HookTargetHandle(), oldWnd);
  hook.seen.clear();
  form->SetBorderStyle(bsToolWindow);
  const uintptr_t newWnd = Wnd(form);
  ASSERT_TRUE(::IsWindow(reinterpret_cast<HWND>(newWnd)));
  EXPECT_EQ(hook.HookTargetHandle(), newWnd);

  const auto& seen = hook.seen;
  const auto destroy = std::find_if(seen.begin(), seen.end(), [](const TSeen& s) { return s.Msg == WM_DESTROY; });
  const auto create = std::find_if(seen.begin(), seen.end(), [](const TSeen& s) { return s.Msg == WM_CREATE; });
  ASSERT_NE(destroy, seen.end());
  ASSERT_NE(create, seen.end());
  ASSERT_LT(destroy, create);
  EXPECT_EQ(destroy->Handle, 0u) << "the destroy message sees no window";
  EXPECT_EQ(create->Handle, TControlHook::kRecreatingHandle) << "the creation message sees the marker";
  ASSERT_NE(create + 1, seen.end());
  EXPECT_EQ((create + 1)->Handle, newWnd) << "the next message sees the new window";
  EXPECT_EQ(hook.codes, (std::vector<std::pair<int, uintptr_t>>{{1, 0}, {2, newWnd}}));
  // Messages go on through the hook.
  hook.codes.clear();
  hook.seen.clear();
  ::SendMessageW(form->Handle(), WM_NULL, 0, 0);
  EXPECT_EQ(hook.seen, (std::vector<TSeen>{{WM_NULL, newWnd}}));
  EXPECT_TRUE(hook.codes.empty());
}

TEST_F(HookWin, HookedControlDestroyedFirst) {
  TRecordingHook hook;
  hook.SetControl(button);
  delete button;
  button = nullptr;
  ASSERT_FALSE(hook.codes.empty());
  for (const auto& [code, wnd] : hook.codes) {
    EXPECT_EQ(code, 1);
    EXPECT_EQ(wnd, 0u);
  }
  EXPECT_EQ(hook.HookTarget(), nullptr);
  EXPECT_EQ(hook.HookTargetHandle(), 0u);
  EXPECT_EQ(hook.Control(), nullptr);
  hook.SetTarget(htControl);  // nothing left to hook
  EXPECT_EQ(hook.HookTarget(), nullptr);
}

TEST_F(HookWin, ComponentDestroyedFirstGivesTheHandlerBack) {
  Count(button);
  auto hook = std::make_unique<TRecordingHook>(nullptr, &order, 1);
  hook->SetControl(button);
  EXPECT_FALSE(IsCounting(button));
  hook.reset();
  EXPECT_TRUE(IsCounting(button));
  EXPECT_EQ(Ping(button), std::vector<int>{0});
}

TEST_F(HookWin, StackedHooksOnAFormGoInEitherOrder) {
  Count(form);
  for (bool reverse : {true, false}) {
    auto first = std::make_unique<TRecordingHook>(form, &order, 1);
    auto second = std::make_unique<TRecordingHook>(form, &order, 2);
    first->SetTarget(htForm);
    second->SetTarget(htForm);
    EXPECT_EQ(Ping(form), (std::vector<int>{2, 1, 0}));
    (reverse ? second : first).reset();
    EXPECT_EQ(Ping(form), (std::vector<int>{reverse ? 1 : 2, 0}));
    first.reset();
    second.reset();
    EXPECT_TRUE(IsCounting(form));
    EXPECT_EQ(Ping(form), std::vector<int>{0});
  }
}

TEST_F(HookWin, DesignStateNeverHooksNorMakesWindows) {
  TRecordingHook hook;
  hook.SetDesigning(true);
  hook.SetControl(button);
  hook.SetTarget(htForm);
  hook.Loaded();
  EXPECT_EQ(hook.Control(), button);
  EXPECT_EQ(hook.Target(), htForm);
  EXPECT_EQ(hook.HookTarget(), nullptr);
  EXPECT_FALSE(form->HandleAllocated());
}

}  // namespace
