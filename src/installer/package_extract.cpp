#include "installer/package_extract.h"

#include "common/unique_any.h"

namespace qrx {

namespace {

// What the extraction's control calls look at.
struct ExtractPace {
  InstallOwner* owner;
  HANDLE stop;
  DWORD lastStep;
  bool stopped;
};

bool KeepExtracting(void* context) {
  ExtractPace* pace = static_cast<ExtractPace*>(context);
  if (pace->stop && WaitForSingleObject(pace->stop, 0) == WAIT_OBJECT_0) {
    pace->stopped = true;
    return false;
  }
  const DWORD now = GetTickCount();
  if (now - pace->lastStep >= kUnzipStepIntervalMs) {
    pace->lastStep = now;
    pace->owner->SetInstallProgress(ApplyUnzipStep(pace->owner->GetInstallProgressState()));
  }
  return true;
}

}  // namespace

ExtractOutcome ExtractPackage(InstallOwner& owner, const std::wstring& packagePath, const std::wstring& targetFolder,
                              ExtractArchiveFunction extract) {
  UniqueFile archive(CreateFileW(packagePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!archive) return ExtractOutcome::kFailed;
  ExtractPace pace = {&owner, owner.GetStopEvent(), GetTickCount(), false};
  const ExtractControl control = {&KeepExtracting, &pace};
  const bool extracted = extract(archive.get(), targetFolder.c_str(), &control);
  if (pace.stopped) return ExtractOutcome::kStopped;
  return extracted ? ExtractOutcome::kExtracted : ExtractOutcome::kFailed;
}

}  // namespace qrx
