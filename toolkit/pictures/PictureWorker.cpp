#include "toolkit/pictures/PictureWorker.h"

#include <utility>

#ifndef _WIN32
#include <mutex>
#include <system_error>
#include <thread>
#endif

// ---- the thread and the lock where the system's own calls are not used ---------

#ifndef _WIN32
namespace {
class TStdWorkerThread : public TWorkerThread {
public:
  explicit TStdWorkerThread(std::function<void()> work) : FThread(std::move(work)) {}
  ~TStdWorkerThread() override {
    if (FThread.joinable()) FThread.detach();
  }
  void Join() override { FThread.join(); }

private:
  std::thread FThread;
};
}  // namespace

std::unique_ptr<TWorkerThread> StartWorkerThread(std::function<void()> work) {
  try {
    return std::make_unique<TStdWorkerThread>(std::move(work));
  } catch (const std::system_error&) {
    return nullptr;
  }
}

struct TWorkerLock::TImpl {
  std::mutex Mutex;
};
TWorkerLock::TWorkerLock() : FImpl(std::make_unique<TImpl>()) {}
TWorkerLock::~TWorkerLock() = default;
void TWorkerLock::Acquire() { FImpl->Mutex.lock(); }
void TWorkerLock::Release() { FImpl->Mutex.unlock(); }
#endif

// ---- TPictureWorker -----------------------------------------------------------------

namespace {
class TLocked {
public:
  explicit TLocked(TWorkerLock& lock) : FLock(lock) { FLock.Acquire(); }
  ~TLocked() { FLock.Release(); }
  TLocked(const TLocked&) = delete;
  TLocked& operator=(const TLocked&) = delete;

private:
  TWorkerLock& FLock;
};
}  // namespace

// Everything below the lock. A thread runs while Running is set; it takes
// the pending request, decodes it without the lock, and stores the result
// only when no newer request came meanwhile.
struct TPictureWorker::TState {
  TWorkerLock Lock;
  TReady Ready;
  uint64_t Newest = 0;  // the owner's newest generation; older results are dropped
  TDecode Pending;
  uint64_t PendingGeneration = 0;
  bool Running = false;
  uint64_t Working = 0;  // the generation the thread decodes, 0 when none
  bool HasResult = false;
  uint64_t ResultGeneration = 0;
  TImage32 Picture;
  std::exception_ptr Error;

  static void Decode(const TDecode& decode, TImage32& picture, std::exception_ptr& error) {
    try {
      picture = decode();
    } catch (...) {
      error = std::current_exception();
    }
  }

  // Under the lock.
  void Deliver(uint64_t generation, TImage32 picture, std::exception_ptr error) {
    if (generation != Newest) return;
    HasResult = true;
    ResultGeneration = generation;
    Picture = std::move(picture);
    Error = std::move(error);
    if (Ready) Ready(generation);
  }

  // The thread's loop: requests until none is left.
  static void Run(const std::shared_ptr<TState>& state) {
    for (;;) {
      TDecode decode;
      uint64_t generation = 0;
      {
        TLocked locked(state->Lock);
        if (!state->Pending) {
          state->Running = false;
          return;
        }
        decode = std::move(state->Pending);
        state->Pending = nullptr;
        generation = state->Working = state->PendingGeneration;
      }
      TImage32 picture;
      std::exception_ptr error;
      Decode(decode, picture, error);
      decode = nullptr;  // what it holds goes on this thread, before the result is posted
      TLocked locked(state->Lock);
      state->Working = 0;
      state->Deliver(generation, std::move(picture), std::move(error));
    }
  }
};

TPictureWorker::TPictureWorker() : FState(std::make_shared<TState>()) {}

TPictureWorker::~TPictureWorker() {
  TLocked locked(FState->Lock);
  FState->Ready = nullptr;
  FState->Pending = nullptr;
  FState->Newest = ~uint64_t{0};  // nothing more is delivered
}

void TPictureWorker::SetReady(TReady ready) {
  TLocked locked(FState->Lock);
  FState->Ready = std::move(ready);
  if (FState->Ready && FState->HasResult) FState->Ready(FState->ResultGeneration);
}

uint64_t TPictureWorker::Start(TDecode decode) {
  const uint64_t generation = ++FGeneration;
  bool startThread = false;
  {
    TLocked locked(FState->Lock);
    FState->Newest = generation;
    FState->HasResult = false;
    FState->Picture = TImage32();
    FState->Error = nullptr;
    FState->Pending = std::move(decode);
    FState->PendingGeneration = generation;
    if (!FState->Running) FState->Running = startThread = true;
  }
  if (startThread && !StartWorkerThread([state = FState] { TState::Run(state); })) {
    // No thread: the request is decoded here, and delivered as from the worker.
    TDecode pending;
    {
      TLocked locked(FState->Lock);
      FState->Running = false;
      pending = std::move(FState->Pending);
      FState->Pending = nullptr;
    }
    TImage32 picture;
    std::exception_ptr error;
    TState::Decode(pending, picture, error);
    TLocked locked(FState->Lock);
    FState->Deliver(generation, std::move(picture), std::move(error));
  }
  return generation;
}

void TPictureWorker::Cancel() {
  const uint64_t generation = ++FGeneration;
  TLocked locked(FState->Lock);
  FState->Newest = generation;
  FState->Pending = nullptr;
  FState->HasResult = false;
  FState->Picture = TImage32();
  FState->Error = nullptr;
}

bool TPictureWorker::Busy() {
  TLocked locked(FState->Lock);
  const TState& s = *FState;
  return s.Newest == FGeneration && !s.HasResult &&
         ((s.Pending && s.PendingGeneration == FGeneration) || s.Working == FGeneration);
}

bool TPictureWorker::Take(uint64_t generation, TImage32& picture, std::exception_ptr& error) {
  TLocked locked(FState->Lock);
  if (!FState->HasResult || FState->ResultGeneration != generation || generation != FGeneration) return false;
  FState->HasResult = false;
  picture = std::move(FState->Picture);
  error = std::exchange(FState->Error, nullptr);
  return true;
}
