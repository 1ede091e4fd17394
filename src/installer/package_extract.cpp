#include "installer/package_extract.h"

#include "common/unique_any.h"

namespace qrx {

namespace {

struct ExtractJob {
  const std::wstring* packagePath;
  const std::wstring* targetFolder;
  ExtractArchiveFunction extract;
};

// Exit code 1 when every entry was extracted, 0 otherwise.
DWORD WINAPI ExtractThreadFunc(LPVOID parameter) {
  const ExtractJob* job = static_cast<const ExtractJob*>(parameter);
  UniqueFile archive(CreateFileW(job->packagePath->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!archive) return 0;
  return job->extract(archive.get(), job->targetFolder->c_str()) ? 1 : 0;
}

}  // namespace

bool ExtractPackage(InstallOwner& owner, const std::wstring& packagePath, const std::wstring& targetFolder,
                    ExtractArchiveFunction extract) {
  // The job lives in this frame, which waits for the thread to end.
  ExtractJob job = {&packagePath, &targetFolder, extract};
  UniqueHandle thread(CreateThread(nullptr, 0, ExtractThreadFunc, &job, 0, nullptr));
  if (!thread) return false;

  InstallProgress& progress = owner.GetInstallProgressState();
  DWORD wait;
  while ((wait = WaitForSingleObject(thread.get(), kUnzipStepIntervalMs)) == WAIT_TIMEOUT) {
    owner.SetInstallProgress(ApplyUnzipStep(progress));
  }
  if (wait != WAIT_OBJECT_0) {
    // The wait itself failed: the thread still uses `job`, so it must end before this frame does.
    WaitForSingleObject(thread.get(), INFINITE);
  }
  DWORD exitCode = 0;
  if (!GetExitCodeThread(thread.get(), &exitCode)) return false;
  return exitCode == 1;
}

}  // namespace qrx
