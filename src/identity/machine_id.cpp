#include "identity/machine_id.h"

#include <objbase.h>

#include <algorithm>

#include "identity/machine_id_rules.h"
#include "log/logger.h"

namespace qrx {

const wchar_t kMachineIdPlaceholder[] = L"X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX";
const wchar_t kRequestTokenPlaceholder[] = L"XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX";
const wchar_t kLogStoredIdUnsafe[] = L"Stored machine id holds U+%04X, which a report cannot carry: replaced\n";

const MachineIdSources kSystemMachineIdSources = {
    DetectVirtualMachine, CollectMacAddresses, LoadStoredId, SaveStoredId, NewGuidText,
};

namespace {

// The identifier once resolved in this process.
std::wstring cachedMachineId;

// Serialises load-or-create of the stored identifier between processes on this machine.
const wchar_t kStoreLockName[] = L"Global\\QRXMachineIdStore";
constexpr DWORD kStoreLockWaitMs = 10000;

class StoreLock {
 public:
  StoreLock() : mutex_(CreateMutexW(nullptr, FALSE, kStoreLockName)) {
    if (!mutex_) return;
    const DWORD wait = WaitForSingleObject(mutex_.get(), kStoreLockWaitMs);
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  }
  ~StoreLock() {
    if (held_) ReleaseMutex(mutex_.get());
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

 private:
  UniqueHandle mutex_;
  bool held_ = false;
};

// A stored id of the right length is kept as it is, whatever its letters (other programs share the
// store), unless a report could not carry it; that one is replaced, and the log says why.
bool LoadKeptId(const MachineIdSources& sources, std::wstring& cache) {
  std::wstring stored;
  if (!sources.loadStoredId(stored) || stored.size() != kMachineIdLength) return false;
  const size_t unsafe = FindUnsafeIdCharacter(stored);
  if (unsafe != std::wstring::npos) {
    LogError(MachineIdLogger(), kLogStoredIdUnsafe, static_cast<unsigned>(stored[unsafe]));
    return false;
  }
  cache = stored;
  return true;
}

bool ResolveVirtual(const MachineIdSources& sources, std::wstring& cache) {
  if (LoadKeptId(sources, cache)) return true;
  std::wstring guid;
  if (!sources.newGuidText(guid)) return false;
  const std::wstring id = L"V-" + guid;
  // An identifier that cannot be stored would change on every run: do not use it.
  if (!sources.saveStoredId(id)) return false;
  cache = id;
  return true;
}

bool ResolvePhysical(const MachineIdSources& sources, std::wstring& cache) {
  if (LoadKeptId(sources, cache)) return true;
  std::vector<std::wstring> addresses;
  if (!sources.collectMacAddresses(addresses) || addresses.empty()) return false;
  std::wstring shaped = SmallestAddress(addresses);
  if (!ShapeMacId(shaped)) return false;
  const std::wstring id = L"P-" + shaped;
  // The same adapters give the same identifier next time, so a failed save is not fatal.
  sources.saveStoredId(id);
  cache = id;
  return true;
}

}  // namespace

bool NewGuidText(std::wstring& text) {
  GUID guid;
  if (FAILED(CoCreateGuid(&guid))) return false;
  wchar_t buffer[64] = {};
  const int length = StringFromGUID2(guid, buffer, 64);
  if (length < 3) return false;
  // Drop the braces; `length` counts the terminator.
  text.assign(buffer + 1, static_cast<size_t>(length) - 3);
  return true;
}

std::wstring NewRequestToken() {
  std::wstring token;
  return NewGuidText(token) ? token : std::wstring(kRequestTokenPlaceholder);
}

bool ResolveMachineIdFrom(const MachineIdSources& sources, std::wstring& cache, std::wstring& id) {
  if (!cache.empty()) {
    id = cache;
    return true;
  }
  bool isVirtual = false;
  const bool answered = sources.detectVirtualMachine(isVirtual);
  bool resolved = false;
  {
    StoreLock lock;
    resolved = (answered && isVirtual) ? ResolveVirtual(sources, cache) : ResolvePhysical(sources, cache);
  }
  if (resolved) id = cache;
  return resolved;
}

bool ResolveMachineId(std::wstring& id) { return ResolveMachineIdFrom(kSystemMachineIdSources, cachedMachineId, id); }

std::wstring GetMachineId() {
  // A thread already in the multithreaded apartment gets RPC_E_CHANGED_MODE and keeps its apartment.
  const HRESULT init = CoInitialize(nullptr);
  std::wstring id;
  const bool resolved = ResolveMachineId(id);
  if (SUCCEEDED(init)) CoUninitialize();
  return resolved ? id : std::wstring(kMachineIdPlaceholder);
}

}  // namespace qrx
