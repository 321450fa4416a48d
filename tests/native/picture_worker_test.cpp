// The background decoder: the newest request wins, an older result never
// arrives, and the owner's end waits for nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "toolkit/pictures/PictureWorker.h"

namespace {

// A gate a decode waits at until the test opens it.
struct TGate {
  std::mutex Mutex;
  std::condition_variable Changed;
  bool Open = false;
  bool Entered = false;
  void Pass() {
    std::unique_lock lock(Mutex);
    Entered = true;
    Changed.notify_all();
    Changed.wait(lock, [this] { return Open; });
  }
  void WaitEntered() {
    std::unique_lock lock(Mutex);
    Changed.wait(lock, [this] { return Entered; });
  }
  void Release() {
    std::lock_guard lock(Mutex);
    Open = true;
    Changed.notify_all();
  }
};

// What the owner's window would receive, in order.
struct TMailbox {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::vector<uint64_t> Posted;
  TPictureWorker::TReady Ready() {
    return [this](uint64_t generation) {
      std::lock_guard lock(Mutex);
      Posted.push_back(generation);
      Changed.notify_all();
    };
  }
  void WaitFor(size_t count) {
    std::unique_lock lock(Mutex);
    Changed.wait(lock, [&] { return Posted.size() >= count; });
  }
};

TImage32 Picture(int width) { return TImage32(width, 1); }

TEST(PictureWorker, ANewerRequestSupersedesOneUnderWay) {
  TGate gate;
  TMailbox mailbox;
  TPictureWorker worker;
  worker.SetReady(mailbox.Ready());
  const uint64_t first = worker.Start([&] {
    gate.Pass();
    return Picture(1);
  });
  gate.WaitEntered();
  EXPECT_TRUE(worker.Busy());
  const uint64_t second = worker.Start([] { return Picture(2); });
  const uint64_t third = worker.Start([] { return Picture(3); });  // the second is dropped unbegun
  gate.Release();
  mailbox.WaitFor(1);
  EXPECT_EQ(mailbox.Posted, std::vector<uint64_t>{third});
  TImage32 picture;
  std::exception_ptr error;
  EXPECT_FALSE(worker.Take(first, picture, error));
  EXPECT_FALSE(worker.Take(second, picture, error));
  ASSERT_TRUE(worker.Take(third, picture, error));
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_FALSE(error);
  EXPECT_FALSE(worker.Take(third, picture, error)) << "handed over once";
  EXPECT_FALSE(worker.Busy());
}

TEST(PictureWorker, ErrorsArriveInThePicturesPlace) {
  TMailbox mailbox;
  TPictureWorker worker;
  worker.SetReady(mailbox.Ready());
  const uint64_t generation = worker.Start([]() -> TImage32 { throw Exception(u"壊れた画像"); });
  mailbox.WaitFor(1);
  TImage32 picture;
  std::exception_ptr error;
  ASSERT_TRUE(worker.Take(generation, picture, error));
  ASSERT_TRUE(error);
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"壊れた画像");
  }
}

TEST(PictureWorker, AResultThatCameBeforeItsWindowIsAnnouncedOnceItIsThere) {
  TPictureWorker worker;
  const uint64_t generation = worker.Start([] { return Picture(4); });
  while (worker.Busy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  TMailbox mailbox;
  worker.SetReady(mailbox.Ready());
  EXPECT_EQ(mailbox.Posted, std::vector<uint64_t>{generation});
}

TEST(PictureWorker, CancelDropsWhatIsUnderWay) {
  TGate gate;
  TMailbox mailbox;
  TPictureWorker worker;
  worker.SetReady(mailbox.Ready());
  worker.Start([&] {
    gate.Pass();
    return Picture(1);
  });
  gate.WaitEntered();
  worker.Cancel();
  EXPECT_FALSE(worker.Busy());
  gate.Release();
  // The next request comes through; the cancelled one never did.
  const uint64_t next = worker.Start([] { return Picture(2); });
  mailbox.WaitFor(1);
  EXPECT_EQ(mailbox.Posted, std::vector<uint64_t>{next});
}

TEST(PictureWorker, TheOwnersEndWaitsForNothingAndNothingArrivesAfterIt) {
  auto gate = std::make_shared<TGate>();
  std::atomic<int> posted{0};
  std::atomic<bool> finished{false};
  {
    TPictureWorker worker;
    worker.SetReady([&posted](uint64_t) { ++posted; });
    worker.Start([gate, &finished] {
      gate->Pass();
      finished = true;
      return Picture(1);
    });
    gate->WaitEntered();
  }  // gone while the decode is held at the gate
  gate->Release();
  while (!finished) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(posted, 0);
}

}  // namespace
