// Helpers shared by the test executables.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace qrxtest {

// A fresh folder under the temp folder, deleted with its contents on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // With a trailing backslash.
  const std::wstring& path() const { return path_; }
  std::wstring Join(const std::wstring& name) const { return path_ + name; }

 private:
  std::wstring path_;
};

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const std::wstring& name, const std::wstring& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::wstring name_;
  std::wstring old_;
  bool hadOld_ = false;
};

std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
bool FolderIsEmpty(const std::wstring& path);

struct ProcessResult {
  bool started = false;
  bool finished = false;
  DWORD exitCode = 0;
};
// Runs a command line with extra environment variables and waits up to `timeoutMs`.
ProcessResult RunProcess(const std::wstring& commandLine, const std::map<std::wstring, std::wstring>& env,
                         DWORD timeoutMs);

// The value of an environment variable, or empty.
std::wstring GetEnv(const std::wstring& name);

}  // namespace qrxtest
