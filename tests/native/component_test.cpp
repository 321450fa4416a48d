#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolkit/Classes.h"

namespace {

std::vector<std::string> gLog;

struct Probe : TComponent {
  std::string tag;
  Probe(TComponent* owner, std::string t) : TComponent(owner), tag(std::move(t)) {}
  ~Probe() override { gLog.push_back("~" + tag); }
  // A reference to another component; only its address is used once it goes.
  TComponent* watched = nullptr;
  std::string watchedTag;
  void Watch(Probe* other) {
    watched = other;
    watchedTag = other->tag;
  }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == watched) {
      gLog.push_back(tag + " lost " + watchedTag);
      watched = nullptr;
    }
  }
};

TEST(Component, OwnerDestroysWhatItOwnsNewestFirst) {
  gLog.clear();
  auto* owner = new Probe(nullptr, "owner");
  auto* a = new Probe(owner, "a");
  new Probe(owner, "b");
  new Probe(a, "a1");
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(a->Owner(), owner);
  delete owner;
  EXPECT_EQ(gLog, (std::vector<std::string>{"~owner", "~b", "~a", "~a1"}));
}

TEST(Component, FreeNotificationReachesHoldersOfAReferenceOnce) {
  gLog.clear();
  Probe holder(nullptr, "holder");
  auto* target = new Probe(nullptr, "target");
  holder.Watch(target);
  target->FreeNotification(&holder);
  target->FreeNotification(&holder);  // asking twice is asking once
  delete target;
  EXPECT_EQ(gLog, (std::vector<std::string>{"~target", "holder lost target"}));
  EXPECT_EQ(holder.watched, nullptr);

  // Either side may go first: the survivor is not told about a gone holder.
  gLog.clear();
  auto* holder2 = new Probe(nullptr, "holder2");
  Probe target2(nullptr, "target2");
  holder2->Watch(&target2);
  target2.FreeNotification(holder2);
  delete holder2;
  EXPECT_EQ(gLog, (std::vector<std::string>{"~holder2"}));
}

TEST(Component, SiblingsHearOfEachOtherThroughTheOwner) {
  gLog.clear();
  Probe owner(nullptr, "owner");
  auto* a = new Probe(&owner, "a");
  auto* b = new Probe(&owner, "b");
  a->Watch(b);
  delete b;
  EXPECT_EQ(gLog, (std::vector<std::string>{"~b", "a lost b"}));
  EXPECT_EQ(owner.ComponentCount(), 1);
}

TEST(Component, NamesStatesAndOwnershipMoves) {
  Probe owner(nullptr, "owner"), other(nullptr, "other");
  auto* c = new Probe(&owner, "c");
  c->SetName(u"DropDst");
  EXPECT_EQ(owner.FindComponent(u"dropdst"), c);
  EXPECT_EQ(owner.FindComponent(u""), nullptr);
  other.InsertComponent(c);
  EXPECT_EQ(owner.ComponentCount(), 0);
  EXPECT_EQ(c->Owner(), &other);

  other.SetDesigning(true);
  EXPECT_TRUE(c->InState(csDesigning));
  c->BeginLoading();
  EXPECT_TRUE(c->InState(csLoading));
  c->Loaded();
  EXPECT_FALSE(c->InState(csLoading));
}

TEST(ErrorReportText, AddsAPointAfterCharactersAboveIt) {
  struct Case { const char16_t* message; const char16_t* shown; };
  const Case cases[] = {
      {u"", u""}, {u"abc", u"abc."}, {u"abc.", u"abc."}, {u"abc!", u"abc!"}, {u"abc-", u"abc-"},
      {u"99", u"99."}, {u"/", u"/."}, {u"フック先を特定できません。", u"フック先を特定できません。."},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorReportText(c.message), c.shown) << ToUtf8(c.message);
}



// A base that, like a window, calls back into the derived object while it
// ends: `delete` runs that step while the derived part is still whole, for a
// component deleted directly and for one its owner deletes.
struct Base : TComponent {
  using TComponent::TComponent;
  std::function<void()> OnEnd;  // set by the derived class, into itself
  void BeforeDestruction() override {
    if (OnEnd) OnEnd();
    OnEnd = nullptr;
  }
};
struct Derived : Base {
  std::vector<std::string>* log;
  std::string name = "derived";  // gone once ~Derived has run
  Derived(TComponent* owner, std::vector<std::string>* l) : Base(owner), log(l) {
    OnEnd = [this] { log->push_back(name + " alive at the end"); };
  }
  ~Derived() override { log->push_back("~Derived"); }
};

TEST(Component, DeleteEndsTheWholeObjectBeforeAnyDestructor) {
  std::vector<std::string> log;
  delete new Derived(nullptr, &log);
  auto* owner = new TComponent(nullptr);
  new Derived(owner, &log);
  delete owner;
  EXPECT_EQ(log, (std::vector<std::string>{"derived alive at the end", "~Derived", "derived alive at the end",
                                           "~Derived"}));
}

// A constructor that throws leaves nothing behind (the plain operator delete
// pairs with the class's operator new; ASan would see a leak or a mismatch).
TEST(Component, AThrowingConstructorFreesItsMemory) {
  struct Throwing : TComponent {
    explicit Throwing(TComponent* owner) : TComponent(owner) { throw std::runtime_error("no"); }
  };
  TComponent owner(nullptr);
  EXPECT_THROW(new Throwing(&owner), std::runtime_error);
  EXPECT_EQ(owner.ComponentCount(), 0);
}

}  // namespace
