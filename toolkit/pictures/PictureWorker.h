// The program's one background thread: pictures decoded away from the user
// interface, so that a window shows at once whatever picture it is to show.
//
// A TPictureWorker takes decode requests from its owner's thread. Each request
// supersedes the ones before it: a request not yet begun is dropped, one under
// way runs to its end and its result is thrown away. The newest result is kept
// for the owner, who is told through the Ready callback (which posts a
// message and does nothing else), and takes it on its own thread.
//
// The worker and its owner share one small state under a lock; the thread
// holds its own reference to it. Destroying the TPictureWorker never waits:
// it takes the Ready callback away under the lock, so no message is sent after
// that, and the thread ends on its own once the decode in hand is done.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

#include "toolkit/pictures/Picture.h"

// A thread that runs one piece of work. Join waits for its end; destroying
// the object lets the thread run on, watched by nobody.
class TWorkerThread {
public:
  virtual ~TWorkerThread() = default;
  virtual void Join() = 0;
};

// Starts `work` on a thread of its own; nullptr where none could be started.
// The Windows build starts it with the system's own calls
// (PictureWorkerWin32.cpp), which keeps a threading runtime out of the
// program.
std::unique_ptr<TWorkerThread> StartWorkerThread(std::function<void()> work);

// A lock for the little state a worker shares with its owner: a critical
// section in the Windows build, a mutex elsewhere.
class TWorkerLock {
public:
  TWorkerLock();
  ~TWorkerLock();
  TWorkerLock(const TWorkerLock&) = delete;
  TWorkerLock& operator=(const TWorkerLock&) = delete;
  void Acquire();
  void Release();

private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

class TPictureWorker {
public:
  using TDecode = std::function<TImage32()>;
  // Runs on the worker thread, under the lock, when the result of
  // `generation` is ready. It must only post a message.
  using TReady = std::function<void(uint64_t generation)>;

  TPictureWorker();
  ~TPictureWorker();
  TPictureWorker(const TPictureWorker&) = delete;
  TPictureWorker& operator=(const TPictureWorker&) = delete;

  // Whom to tell; an empty callback tells nobody (the window is gone). When a
  // result is already waiting, the new callback is told at once.
  void SetReady(TReady ready);

  // Starts decoding; every earlier request is superseded. Returns the
  // request's generation. Where no thread can be started the decode runs
  // here, and the result waits all the same.
  uint64_t Start(TDecode decode);
  // Supersedes every request: nothing is delivered until the next Start.
  void Cancel();
  // The newest request's generation (0 before the first).
  uint64_t Generation() const { return FGeneration; }
  // True while the newest request has no result yet.
  bool Busy();

  // The result of `generation` when it is the newest and done: true, and
  // `picture` or `error` is set. A result is handed over once.
  bool Take(uint64_t generation, TImage32& picture, std::exception_ptr& error);

private:
  struct TState;
  std::shared_ptr<TState> FState;
  uint64_t FGeneration = 0;
};
