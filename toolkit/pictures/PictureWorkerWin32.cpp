// The worker's thread and lock with the system's own calls.
#include "toolkit/pictures/PictureWorker.h"

#include <windows.h>

#include <process.h>

namespace {
class TWin32WorkerThread : public TWorkerThread {
public:
  explicit TWin32WorkerThread(HANDLE thread) : FThread(thread) {}
  ~TWin32WorkerThread() override { ::CloseHandle(FThread); }  // the thread runs on
  void Join() override { ::WaitForSingleObject(FThread, INFINITE); }

private:
  HANDLE FThread;
};

unsigned __stdcall RunWork(void* data) {
  const std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(data));
  (*work)();  // the work catches what it raises
  return 0;
}
}  // namespace

std::unique_ptr<TWorkerThread> StartWorkerThread(std::function<void()> work) {
  auto owned = std::make_unique<std::function<void()>>(std::move(work));
  // The C runtime's own start, so that its per-thread data is set up for
  // the decoder.
  const auto thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, RunWork, owned.get(), 0, nullptr));
  if (!thread) return nullptr;
  owned.release();  // the thread's now
  return std::make_unique<TWin32WorkerThread>(thread);
}

struct TWorkerLock::TImpl {
  CRITICAL_SECTION Section;
};

TWorkerLock::TWorkerLock() : FImpl(std::make_unique<TImpl>()) { ::InitializeCriticalSection(&FImpl->Section); }
TWorkerLock::~TWorkerLock() { ::DeleteCriticalSection(&FImpl->Section); }
void TWorkerLock::Acquire() { ::EnterCriticalSection(&FImpl->Section); }
void TWorkerLock::Release() { ::LeaveCriticalSection(&FImpl->Section); }
