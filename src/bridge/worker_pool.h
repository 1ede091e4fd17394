// The run's worker threads: the pool owns every thread handle and every task, asks the workers to
// stop at shut-down and joins them within a bound.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "common/critical_section.h"
#include "common/unique_any.h"

namespace downloadmanagercore {

// One long job, run once on a thread of its own. The pool destroys the task after its thread has
// ended (or, when the thread never started, at once).
class WorkerTask {
 public:
  virtual ~WorkerTask() = default;
  virtual void Run() = 0;
};

// Creates a started thread (CreateThread in the product); null with the last error set on failure.
using ThreadStarter = HANDLE (*)(LPTHREAD_START_ROUTINE proc, void* parameter);

class WorkerPool {
 public:
  WorkerPool();
  // Tasks of threads that still run are left to those threads' process: never freed under them.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Runs the task on a new thread; S_OK, or HResultFromLastError when the thread could not be
  // created (the task is then destroyed here, on the calling thread).
  HRESULT Start(std::unique_ptr<WorkerTask> task);

  // A manual-reset event that is set once shut-down asks the workers to stop; workers wait on it
  // beside their own work.
  HANDLE stopEvent() const { return stop_.get(); }
  bool stopRequested() const { return WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0; }

  // Sets the stop event, then waits (dispatching this thread's messages, which calls from the
  // workers into this apartment need) until every worker has ended or `timeoutMs` has passed.
  // True when none runs any more.
  bool StopAndJoin(DWORD timeoutMs);
  // The same wait without asking to stop.
  bool Join(DWORD timeoutMs);
  // Workers whose thread has not ended.
  size_t running();

  // Tests make thread creation fail through this.
  void SetThreadStarter(ThreadStarter starter) { starter_ = starter; }

 private:
  struct Worker {
    qrx::UniqueHandle thread;
    std::unique_ptr<WorkerTask> task;
  };
  // Frees the workers whose thread has ended; the rest stay. Called under the lock.
  void ReapEnded();

  qrx::CriticalSection lock_;
  std::vector<Worker> workers_;
  qrx::UniqueHandle stop_;
  ThreadStarter starter_;
};

}  // namespace downloadmanagercore
