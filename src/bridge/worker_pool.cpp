#include "bridge/worker_pool.h"

#include "common/hresult.h"

namespace downloadmanagercore {

namespace {

DWORD WINAPI WorkerThreadProc(LPVOID parameter) {
  static_cast<WorkerTask*>(parameter)->Run();
  return 0;
}

HANDLE CreateWorkerThread(LPTHREAD_START_ROUTINE proc, void* parameter) {
  return CreateThread(nullptr, 0, proc, parameter, 0, nullptr);
}

bool HasEnded(HANDLE thread) { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

}  // namespace

WorkerPool::WorkerPool()
    : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), starter_(&CreateWorkerThread) {}

WorkerPool::~WorkerPool() {
  auto hold = lock_.Lock();
  for (Worker& worker : workers_) {
    // A thread that did not stop still uses its task; the process ends it.
    if (!HasEnded(worker.thread.get())) worker.task.release();
  }
  workers_.clear();
}

HRESULT WorkerPool::Start(std::unique_ptr<WorkerTask> task) {
  auto hold = lock_.Lock();
  ReapEnded();
  Worker worker;
  worker.task = std::move(task);
  worker.thread = qrx::UniqueHandle(starter_(&WorkerThreadProc, worker.task.get()));
  if (!worker.thread) return qrx::HResultFromLastError();
  workers_.push_back(std::move(worker));
  return S_OK;
}

void WorkerPool::ReapEnded() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (HasEnded(it->thread.get())) {
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

size_t WorkerPool::running() {
  auto hold = lock_.Lock();
  ReapEnded();
  return workers_.size();
}

bool WorkerPool::StopAndJoin(DWORD timeoutMs) {
  SetEvent(stop_.get());
  return Join(timeoutMs);
}

bool WorkerPool::Join(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  bool quit = false;
  WPARAM quitCode = 0;
  // A quit message seen meanwhile is posted again for the caller's loop.
  auto done = [&](bool joined) {
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    return joined;
  };
  for (;;) {
    HANDLE threads[MAXIMUM_WAIT_OBJECTS - 1];
    DWORD count = 0;
    {
      auto hold = lock_.Lock();
      ReapEnded();
      for (const Worker& worker : workers_) {
        if (count < MAXIMUM_WAIT_OBJECTS - 1) threads[count++] = worker.thread.get();
      }
    }
    if (count == 0) return done(true);
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return done(false);
    // Wakes when any worker ends or a message arrives; a worker releasing or calling a page object
    // of this apartment needs the message dispatched.
    const DWORD wait = MsgWaitForMultipleObjects(count, threads, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0 + count) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
          quit = true;
          quitCode = message.wParam;
          continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }
}

}  // namespace downloadmanagercore
