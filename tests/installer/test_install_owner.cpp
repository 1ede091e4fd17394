#include "installer/test_install_owner.h"

#include <msi.h>

#include <cstdio>

#include "installer/product_codes.h"
#include "support/test_support.h"

namespace qrxtest {

TestInstallOwner::TestInstallOwner(const std::wstring& osBits)
    : publishedEvent_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  InitializeCriticalSection(&lock_);
  properties_[L"osbits"] = osBits;
  properties_[L"installProgress"] = L"0";
}

TestInstallOwner::~TestInstallOwner() {
  CloseHandle(publishedEvent_);
  CloseHandle(stop_);
  DeleteCriticalSection(&lock_);
}

std::wstring TestInstallOwner::GetProperty(const std::wstring& key) {
  EnterCriticalSection(&lock_);
  auto it = properties_.find(key);
  std::wstring value = it == properties_.end() ? std::wstring() : it->second;
  LeaveCriticalSection(&lock_);
  return value;
}

void TestInstallOwner::SetProperty(const std::wstring& key, const std::wstring& value) {
  EnterCriticalSection(&lock_);
  properties_[key] = value;
  LeaveCriticalSection(&lock_);
}

void TestInstallOwner::SetInstallProgress(int value) {
  EnterCriticalSection(&lock_);
  properties_[L"installProgress"] = std::to_wstring(value);
  published_.push_back(value);
  LeaveCriticalSection(&lock_);
  SetEvent(publishedEvent_);
}

void TestInstallOwner::SetProductVersion(const std::wstring& version) {
  EnterCriticalSection(&lock_);
  productVersion_ = version;
  LeaveCriticalSection(&lock_);
}

void TestInstallOwner::AddAttachment(const std::wstring& path) { attachments_.push_back(path); }

std::vector<int> TestInstallOwner::published() {
  EnterCriticalSection(&lock_);
  std::vector<int> values = published_;
  LeaveCriticalSection(&lock_);
  return values;
}

std::pair<int, int> TestInstallOwner::failedStage() {
  for (const std::string& line : LogMessages()) {
    int stage = 0;
    int detail = 0;
    if (sscanf(line.c_str(), "Install stage %d failed, detail %d", &stage, &detail) == 2) return {stage, detail};
  }
  return {0, 0};
}

std::wstring TestInstallOwner::productVersion() {
  EnterCriticalSection(&lock_);
  std::wstring value = productVersion_;
  LeaveCriticalSection(&lock_);
  return value;
}

std::vector<std::string> TestInstallOwner::LogMessages() {
  std::vector<std::string> messages;
  const std::string text = ReadFileBytes(logger_.path());
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    begin = end + 1;
    const size_t close = line.find("] ");
    if (line.empty() || line[0] != '[' || close == std::string::npos) continue;
    messages.push_back(line.substr(close + 2));
  }
  return messages;
}

bool TestInstallOwner::WaitForPublished(size_t count, DWORD timeoutMs) {
  const DWORD deadline = GetTickCount() + timeoutMs;
  for (;;) {
    if (published().size() >= count) return true;
    const DWORD now = GetTickCount();
    if (static_cast<LONG>(deadline - now) <= 0) return false;
    WaitForSingleObject(publishedEvent_, deadline - now);
  }
}

bool MsiProductInstalled(const wchar_t* productCode) {
  wchar_t location[MAX_PATH] = {};
  DWORD count = MAX_PATH;
  return MsiGetProductInfoW(productCode, L"InstallLocation", location, &count) == ERROR_SUCCESS;
}

std::wstring MsiProductVersion(const wchar_t* productCode) {
  wchar_t version[256] = {};
  DWORD count = 256;
  if (MsiGetProductInfoW(productCode, L"VersionString", version, &count) != ERROR_SUCCESS) return std::wstring();
  return version;
}

void RemoveTestProducts() {
  for (const wchar_t* code : qrx::kProductCodeP) {
    if (!MsiProductInstalled(code)) continue;
    RunProcess(L"msiexec.exe /x " + std::wstring(code) + L" /qn", {}, 120000);
  }
}

bool WaitUntilWritable(const std::wstring& path, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return true;
    }
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);  // polling another process's release of the file; bounded above
  }
}

}  // namespace qrxtest
