#include "installer/install_package.h"

#include <windows.h>
#include <shlwapi.h>

#include <vector>

#include "common/hresult.h"
#include "common/unique_any.h"
#include "installer/install_texts.h"
#include "installer/product_detection.h"
#include "installer/product_codes.h"
#include "installer/package_signers.h"
#include "installer/setup_command.h"
#include "installer/setup_logs.h"
#include "installer/setup_search.h"
#include "installer/setup_signer.h"
#include "sysinfo/run_marker.h"
#include "sysinfo/temp_folder.h"
#include "zip/zip_files.h"

namespace qrx {

namespace {

// "<folder>\<name>" in a MAX_PATH buffer; false when it does not fit.
bool CombinePath(const std::wstring& folder, const wchar_t* name, std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  if (!PathCombineW(buffer, folder.c_str(), name)) return false;
  path = buffer;
  return true;
}

// The stage that failed goes to the log; the report gets the install thread's 2 and the result.
int FailStage(Logger* log, WrapperError stage, int detail) {
  LogDebug(log, kLogInstallStageFailed, static_cast<int>(stage), detail);
  return kInstallFatal;
}

bool StopAsked(InstallOwner& owner) {
  const HANDLE stop = owner.GetStopEvent();
  return stop && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0;
}

// The package folder: where the archive is unpacked, searched and setup runs. A path that does
// not fit the buffer is refused rather than cut into another path.
bool PackageFolderOf(const std::wstring& packagePath, std::wstring& folder) {
  if (packagePath.size() >= MAX_PATH || packagePath.find(L'\0') != std::wstring::npos) return false;
  wchar_t buffer[MAX_PATH] = {};
  wcscpy(buffer, packagePath.c_str());
  PathRemoveFileSpecW(buffer);
  folder = buffer;
  return true;
}

struct SetupPaths {
  std::wstring program;
  std::wstring log;
  std::wstring xmlLog;
};

bool FindSetupPaths(const std::wstring& packageFolder, SetupPaths& paths) {
  std::wstring setupFolder;
  return FindSetupFolder(packageFolder, kSetupFileName, setupFolder) &&
         CombinePath(setupFolder, kSetupFileName, paths.program) &&
         CombinePath(setupFolder, kSetupLogName, paths.log) && CombinePath(setupFolder, kSetupXmlLogName, paths.xmlLog);
}

// Only a package whose setup program and every other program, library and installer package
// are signed by a listed certificate runs (elevated, as this process). The files stay open
// without write or delete sharing in `checked` until the process has started, so what was
// checked is what runs.
bool CheckPackageSigners(Logger* log, const wchar_t* signers, const std::wstring& packageFolder,
                         const std::wstring& setupPath, std::vector<UniqueFile>& checked) {
  if (!signers || signers[0] == L'\0') return true;
  const std::vector<Sha256Digest> listed = ParseSignerList(signers);
  std::vector<std::wstring> files = FilesNeedingSigner(packageFolder);
  files.insert(files.begin(), setupPath);
  for (size_t i = 0; i < files.size(); ++i) {
    if (i > 0 && _wcsicmp(files[i].c_str(), setupPath.c_str()) == 0) continue;
    UniqueFile file(CreateFileW(files[i].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    SignerCheck check;
    if (file) {
      check = CheckSetupSigner(files[i], file.get(), listed);
    } else {
      check.trust = static_cast<LONG>(HResultFromLastError());
    }
    if (check.verdict != SignerVerdict::kListed) {
      LogError(log, i == 0 ? kLogSetupSignerRefused : kLogPackageSignerRefused, files[i].c_str(),
               SignerRefusalReason(check).c_str());
      FailStage(log, kStageSetupSigner, static_cast<int>(check.trust));
      return false;
    }
    checked.push_back(std::move(file));
  }
  return true;
}

// Setup's process, on its hidden desktop, with its own temp folder and its start time.
struct SetupRun {
  std::wstring tempFolder;
  UniqueDesktop desktop;
  UniqueHandle process;
  UniqueHandle thread;
  SYSTEMTIME startTime = {};
};

// Setup's own temp folder is a new protected folder inside the package folder, never the user's
// temp folder, so the prerequisite logs read for the report are where nobody else writes. A
// desktop that cannot be made still gives setup its name. Fails with the stage logged.
bool StartSetup(Logger* log, const std::wstring& packageFolder, const SetupPaths& paths,
                const std::wstring& parameters, SetupRun& run) {
  run.tempFolder = packageFolder;
  DWORD markerError = 0;
  if (!CreateUniqueTempFolder(run.tempFolder, &markerError)) {
    const int error = static_cast<int>(GetLastError());
    LogDebug(log, kLogSetupTempFailed, run.tempFolder.c_str());
    FailStage(log, kStageCreateProcess, error);
    return false;
  }
  if (markerError) LogError(log, kLogRunMarkerNotWritten, run.tempFolder.c_str(), static_cast<unsigned>(markerError));
  wchar_t* block = GetEnvironmentStringsW();
  std::wstring environment = BuildSetupEnvironment(block, run.tempFolder);
  if (block) FreeEnvironmentStringsW(block);
  std::vector<wchar_t> desktopName(kSetupDesktopName, kSetupDesktopName + wcslen(kSetupDesktopName) + 1);
  run.desktop = UniqueDesktop(CreateDesktopW(desktopName.data(), nullptr, nullptr, 0, GENERIC_ALL, nullptr));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.lpDesktop = desktopName.data();

  const std::wstring commandLine = BuildSetupCommandLine(paths.program, parameters, paths.log);
  LogDebug(log, kLogSetupCommandLine, commandLine.c_str());
  std::vector<wchar_t> commandBuffer(commandLine.begin(), commandLine.end());
  commandBuffer.push_back(L'\0');
  GetLocalTime(&run.startTime);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, commandBuffer.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      &environment[0], packageFolder.c_str(), &startup, &process)) {
    const int error = static_cast<int>(GetLastError());
    LogDebug(log, kLogCreateProcessFailed, commandLine.c_str());
    FailStage(log, kStageCreateProcess, error);
    return false;
  }
  run.process = UniqueHandle(process.hProcess);
  run.thread = UniqueHandle(process.hThread);
  return true;
}

// Polls the progress while setup runs. False when shut-down asked to stop waiting: setup runs on
// to its end by itself, from this folder.
bool WaitForSetup(InstallOwner& owner, const InstallOperations& operations, HANDLE process) {
  const HANDLE waits[2] = {process, owner.GetStopEvent()};
  const DWORD waitCount = waits[1] ? 2 : 1;
  DWORD wait;
  do {
    PollSetupProgress(owner, operations);
    wait = WaitForMultipleObjects(waitCount, waits, FALSE, kSetupPollIntervalMs);
  } while (wait == WAIT_TIMEOUT);
  return wait != WAIT_OBJECT_0 + 1;
}

// Setup has ended: its exit code mapped, the product's version and the logs collected.
int FinishSetup(InstallOwner& owner, const InstallOperations& operations, SetupRun& run) {
  DWORD exitCode = 0;
  GetExitCodeProcess(run.process.get(), &exitCode);
  run.thread.Reset();
  run.process.Reset();
  run.desktop.Reset();
  SYSTEMTIME endTime = {};
  GetLocalTime(&endTime);
  LogDebug(owner.GetLogger(), kLogSetupExitCode, static_cast<int>(exitCode));

  const int result = MapSetupExitCode(exitCode);
  if (exitCode == 0) {
    owner.SetProductVersion(operations.queryProductVersion(MainProductCodeFor(owner.GetProperty(kOsBitsKey))));
    owner.SetInstallProgress(kCompleteProgress);
  }
  CollectRedistLogs(owner, run.tempFolder, run.startTime, endTime);
  CollectDotNetLog(owner, run.tempFolder);
  return result;
}

}  // namespace

InstallOperations ProductInstallOperations() {
  return InstallOperations{&ExtractArchive, &IsProductInstalled, &QueryProductVersion, QRX_SETUP_SIGNERS};
}

void PollSetupProgress(InstallOwner& owner, const InstallOperations& operations) {
  const std::wstring osBits = owner.GetProperty(kOsBitsKey);
  const wchar_t* const* codes = ProductCodesFor(osBits);
  const int* milestones = ProgressMilestonesFor(osBits);

  bool installed[kProductCodeCount] = {};
  for (int position = 0; position < kProductCodeCount; ++position) {
    installed[position] = operations.isProductInstalled(codes[position]);
  }
  InstallProgress& progress = owner.GetInstallProgressState();
  const int reached = ApplySetupPoll(progress, HighestInstalledPosition(installed, kProductCodeCount), milestones);
  if (reached >= 0) LogDebug(owner.GetLogger(), kLogProductCodeInstalled, codes[reached]);
  owner.SetInstallProgress(progress.value);
}

int InstallPackage(InstallOwner& owner, const std::wstring& packagePath, const std::wstring& setupParameters,
                   const InstallOperations& operations) {
  Logger* log = owner.GetLogger();
  std::wstring packageFolder;
  if (!PackageFolderOf(packagePath, packageFolder)) {
    LogDebug(log, kLogUnzipFailed, packagePath.c_str(), L"");
    return FailStage(log, kStageUnzip, 0);
  }
  const ExtractOutcome extracted = ExtractPackage(owner, packagePath, packageFolder, operations.extract);
  if (extracted == ExtractOutcome::kStopped) {
    LogDebug(log, kLogUnzipStopped);
    return kInstallStopped;
  }
  if (extracted != ExtractOutcome::kExtracted) {
    LogDebug(log, kLogUnzipFailed, packagePath.c_str(), packageFolder.c_str());
    return FailStage(log, kStageUnzip, 0);
  }
  SetupPaths paths;
  if (!FindSetupPaths(packageFolder, paths)) {
    LogDebug(log, kLogSetupNotFound, packageFolder.c_str());
    return FailStage(log, kStageNoSetup, 0);
  }
  std::vector<UniqueFile> checkedFiles;
  if (!CheckPackageSigners(log, operations.setupSigners, packageFolder, paths.program, checkedFiles)) {
    return kInstallFatal;
  }
  // Stopped meanwhile: setup is not started any more.
  if (StopAsked(owner)) return kInstallStopped;
  SetupRun run;
  if (!StartSetup(log, packageFolder, paths, setupParameters, run)) return kInstallFatal;
  checkedFiles.clear();
  // Setup now owns the folder too: a later run leaves it alone while setup still runs.
  if (!AddProcessToRunMarker(packageFolder, run.process.get())) {
    LogError(log, kLogSetupNotMarked, packageFolder.c_str(), static_cast<unsigned>(GetLastError()));
  }
  owner.AddAttachment(paths.log);
  owner.AddAttachment(paths.xmlLog);
  if (!WaitForSetup(owner, operations, run.process.get())) {
    owner.OnSetupStillRunning();
    LogDebug(log, kLogSetupLeftRunning);
    return kInstallStopped;
  }
  return FinishSetup(owner, operations, run);
}

}  // namespace qrx
