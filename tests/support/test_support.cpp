#include "support/test_support.h"

#include <memory>
#include <vector>

#include "common/unique_any.h"
#include "sysinfo/temp_folder.h"
#include "sysinfo/working_parent.h"

namespace qrxtest {

namespace {

std::wstring UserTemp() {
  wchar_t base[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, base);
  return base;
}

}  // namespace

std::wstring WorkingParent() {
  std::wstring parent;
  return qrx::GetWorkingParent(parent) ? parent : std::wstring();
}

TempDir::TempDir() : TempDir(UserTemp()) {}

TempDir::TempDir(const std::wstring& baseFolder) {
  const wchar_t* base = baseFolder.c_str();
  static LONG counter = 0;
  for (;;) {
    wchar_t name[MAX_PATH];
    wsprintfW(name, L"%sqrxtest-%u-%u-%ld\\", base, GetCurrentProcessId(), GetTickCount(),
              InterlockedIncrement(&counter));
    if (CreateDirectoryW(name, nullptr)) {
      path_ = name;
      return;
    }
  }
}

TempDir::~TempDir() { qrx::DeleteFolderTree(path_); }

ScopedEnv::ScopedEnv(const std::wstring& name, const std::wstring& value) : name_(name) {
  wchar_t buffer[32768];
  const DWORD length = GetEnvironmentVariableW(name.c_str(), buffer, 32768);
  if (length > 0 && length < 32768) {
    hadOld_ = true;
    old_ = buffer;
  }
  SetEnvironmentVariableW(name.c_str(), value.c_str());
}

ScopedEnv::~ScopedEnv() { SetEnvironmentVariableW(name_.c_str(), hadOld_ ? old_.c_str() : nullptr); }

std::string ReadFileBytes(const std::wstring& path) {
  qrx::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return std::string();
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  qrx::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FolderIsEmpty(const std::wstring& path) {
  WIN32_FIND_DATAW entry;
  qrx::UniqueFind find(FindFirstFileW((path + L"\\*").c_str(), &entry));
  if (!find) return true;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") return false;
  } while (FindNextFileW(find.get(), &entry));
  return true;
}

std::wstring GetEnv(const std::wstring& name) {
  wchar_t buffer[32768];
  const DWORD length = GetEnvironmentVariableW(name.c_str(), buffer, 32768);
  return (length > 0 && length < 32768) ? std::wstring(buffer, length) : std::wstring();
}

ProcessResult RunProcess(const std::wstring& commandLine, const std::map<std::wstring, std::wstring>& env,
                         DWORD timeoutMs) {
  std::vector<std::unique_ptr<ScopedEnv>> scoped;
  for (const auto& entry : env) scoped.emplace_back(new ScopedEnv(entry.first, entry.second));
  ProcessResult result;
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return result;
  }
  result.started = true;
  qrx::UniqueHandle processHandle(process.hProcess);
  qrx::UniqueHandle threadHandle(process.hThread);
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    result.finished = true;
    GetExitCodeProcess(process.hProcess, &result.exitCode);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  return result;
}

}  // namespace qrxtest
