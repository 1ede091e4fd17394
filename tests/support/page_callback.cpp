#include "support/page_callback.h"

namespace qrxtest {

// Pumps this (single-threaded apartment) thread's messages until `event` is set or time runs out.
bool PumpUntil(HANDLE event, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return false;
    const DWORD wait = MsgWaitForMultipleObjects(1, &event, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) return true;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

// Pumps messages for a while (for "nothing arrives" checks) while the workers end.
void PumpFor(DWORD ms) {
  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  PumpUntil(never, ms);
  CloseHandle(never);
}

}  // namespace qrxtest
