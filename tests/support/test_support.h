// Helpers shared by the test executables.
#pragma once

#include <windows.h>

#include <initializer_list>
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

namespace qrxtest {

// Makes `link` a Unix symbolic link to `target` (both Windows paths inside the prefix), which
// Wine reports as a folder with FILE_ATTRIBUTE_REPARSE_POINT when the target is a folder.
// Wine 8 makes no junctions or symbolic links of its own (see docs/wine-notes.md).
bool MakeUnixLink(const std::wstring& link, const std::wstring& target);
// Removes such a link (Win32 calls would act on its target under Wine); true once it is gone. The
// target must exist while it runs.
bool RemoveUnixLink(const std::wstring& link);

// Presents the given paths (compared case-insensitively, without a trailing backslash) as links
// to the code under test, for the kinds of link Wine cannot make; restores the real query on
// destruction.
class ScopedFakeLinks {
 public:
  explicit ScopedFakeLinks(std::initializer_list<std::wstring> paths);
  ~ScopedFakeLinks();
  ScopedFakeLinks(const ScopedFakeLinks&) = delete;
  ScopedFakeLinks& operator=(const ScopedFakeLinks&) = delete;
};

}  // namespace qrxtest

namespace qrxtest {

// For failure messages: the wide text with every character above 0x7F as '?'.
std::string Narrow(const std::wstring& text);

}  // namespace qrxtest
