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

constexpr int kWrapperErrorUnzip = 4;
constexpr int kWrapperErrorNoSetup = 5;
constexpr int kWrapperErrorCreateProcess = 6;
constexpr int kWrapperErrorSetupSigner = 7;

// "<folder>\<name>" in a MAX_PATH buffer; false when it does not fit.
bool CombinePath(const std::wstring& folder, const wchar_t* name, std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  if (!PathCombineW(buffer, folder.c_str(), name)) return false;
  path = buffer;
  return true;
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

  // The package folder: where the archive is unpacked, searched and setup runs. A path that does
  // not fit the buffer is refused rather than cut into another path.
  wchar_t folderBuffer[MAX_PATH] = {};
  if (packagePath.size() >= MAX_PATH || packagePath.find(L'\0') != std::wstring::npos) {
    owner.SetInstallErrors(kWrapperErrorUnzip, 0);
    LogDebug(log, kLogUnzipFailed, packagePath.c_str(), L"");
    return kInstallFatal;
  }
  wcscpy(folderBuffer, packagePath.c_str());
  PathRemoveFileSpecW(folderBuffer);
  const std::wstring packageFolder = folderBuffer;

  if (!ExtractPackage(owner, packagePath, packageFolder, operations.extract)) {
    owner.SetInstallErrors(kWrapperErrorUnzip, 0);
    LogDebug(log, kLogUnzipFailed, packagePath.c_str(), packageFolder.c_str());
    return kInstallFatal;
  }

  std::wstring setupFolder;
  std::wstring setupPath;
  std::wstring logPath;
  std::wstring xmlLogPath;
  if (!FindSetupFolder(packageFolder, kSetupFileName, setupFolder) ||
      !CombinePath(setupFolder, kSetupFileName, setupPath) || !CombinePath(setupFolder, kSetupLogName, logPath) ||
      !CombinePath(setupFolder, kSetupXmlLogName, xmlLogPath)) {
    owner.SetInstallErrors(kWrapperErrorNoSetup, 0);
    LogDebug(log, kLogSetupNotFound, packageFolder.c_str());
    return kInstallFatal;
  }

  // Stopped while unpacking: setup is not started any more.
  if (const HANDLE stop = owner.GetStopEvent()) {
    if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) return kInstallFatal;
  }

  // Only a package whose setup program and every other program, library and installer package
  // are signed by a listed certificate runs (elevated, as this process). The files stay open
  // without write or delete sharing from the check until the process has started, so what was
  // checked is what runs.
  std::vector<UniqueFile> checkedFiles;
  if (operations.setupSigners && operations.setupSigners[0] != L'\0') {
    const std::vector<Sha256Digest> listed = ParseSignerList(operations.setupSigners);
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
        owner.SetInstallErrors(kWrapperErrorSetupSigner, static_cast<int>(check.trust));
        LogError(log, i == 0 ? kLogSetupSignerRefused : kLogPackageSignerRefused, files[i].c_str(),
                 SignerRefusalReason(check).c_str());
        return kInstallFatal;
      }
      checkedFiles.push_back(std::move(file));
    }
  }

  // Setup's own temp folder: a new protected folder inside the package folder, never the user's
  // temp folder, so the prerequisite logs read for the report are where nobody else writes.
  std::wstring setupTemp = packageFolder;
  if (!CreateUniqueTempFolder(setupTemp)) {
    owner.SetInstallErrors(kWrapperErrorCreateProcess, static_cast<int>(GetLastError()));
    LogDebug(log, kLogSetupTempFailed, setupTemp.c_str());
    return kInstallFatal;
  }
  std::wstring environment;
  {
    wchar_t* block = GetEnvironmentStringsW();
    environment = BuildSetupEnvironment(block, setupTemp);
    if (block) FreeEnvironmentStringsW(block);
  }

  // A desktop nobody sees; if it cannot be made, setup is still started with its name.
  std::vector<wchar_t> desktopName(kSetupDesktopName, kSetupDesktopName + wcslen(kSetupDesktopName) + 1);
  UniqueDesktop desktop(CreateDesktopW(desktopName.data(), nullptr, nullptr, 0, GENERIC_ALL, nullptr));

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.lpDesktop = desktopName.data();

  const std::wstring commandLine = BuildSetupCommandLine(setupPath, setupParameters, logPath);
  LogDebug(log, kLogSetupCommandLine, commandLine.c_str());
  std::vector<wchar_t> commandBuffer(commandLine.begin(), commandLine.end());
  commandBuffer.push_back(L'\0');

  SYSTEMTIME startTime = {};
  GetLocalTime(&startTime);

  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, commandBuffer.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      &environment[0], packageFolder.c_str(), &startup, &process)) {
    const DWORD error = GetLastError();
    owner.SetInstallErrors(kWrapperErrorCreateProcess, static_cast<int>(error));
    LogDebug(log, kLogCreateProcessFailed, commandLine.c_str());
    return kInstallFatal;
  }
  checkedFiles.clear();
  UniqueHandle processHandle(process.hProcess);
  UniqueHandle threadHandle(process.hThread);
  // Setup now owns the folder too: a later run leaves it alone while setup still runs.
  AddProcessToRunMarker(packageFolder, processHandle.get());
  commandBuffer.clear();
  commandBuffer.shrink_to_fit();
  owner.AddAttachment(logPath);
  owner.AddAttachment(xmlLogPath);

  // Shut-down may ask to stop waiting: setup runs on to its end by itself, from this folder.
  const HANDLE waits[2] = {processHandle.get(), owner.GetStopEvent()};
  const DWORD waitCount = waits[1] ? 2 : 1;
  DWORD wait;
  do {
    PollSetupProgress(owner, operations);
    wait = WaitForMultipleObjects(waitCount, waits, FALSE, kSetupPollIntervalMs);
  } while (wait == WAIT_TIMEOUT);
  if (wait == WAIT_OBJECT_0 + 1) {
    owner.OnSetupStillRunning();
    LogDebug(log, kLogSetupLeftRunning);
    return kInstallFatal;
  }

  DWORD exitCode = 0;
  GetExitCodeProcess(processHandle.get(), &exitCode);
  threadHandle.Reset();
  processHandle.Reset();
  desktop.Reset();

  SYSTEMTIME endTime = {};
  GetLocalTime(&endTime);
  LogDebug(log, kLogSetupExitCode, static_cast<int>(exitCode));

  const int result = MapSetupExitCode(exitCode);
  if (exitCode == 0) {
    owner.SetProductVersion(operations.queryProductVersion(MainProductCodeFor(owner.GetProperty(kOsBitsKey))));
    owner.SetInstallProgress(kCompleteProgress);
  }

  CollectRedistLogs(owner, setupTemp, startTime, endTime);
  CollectDotNetLog(owner, setupTemp);
  return result;
}

}  // namespace qrx
