#include "bridge/qrx_external.h"

#include "bridge/property_text.h"
#include "installer/product_codes.h"
#include "installer/install_package.h"
#include "installer/install_progress.h"
#include "installer/product_detection.h"
#include "sysinfo/os_facts.h"

namespace qrx {

const wchar_t kLogInstallNotDownloaded[] = L"ZSInstall refused, no package downloaded and checked in this run: %s";

namespace {

const wchar_t kQrxInstalledKey[] = L"qrxInstalled";
const wchar_t kOsIsServerKey[] = L"osIsServer";
const wchar_t kDpiSatisfiedKey[] = L"dpiSatisfied";
const wchar_t kOsVersionKey[] = L"osVersion";

}  // namespace

bool DpiSatisfied(int dpi, int screenHeight) { return dpi < 144 || screenHeight >= 920; }

QRXExternal::QRXExternal(SessionInfo* info, ErrorReporter* reporter, Logger* logger)
    : QRXExternal(info, reporter, logger, QueryStartFacts()) {}

QRXExternal::QRXExternal(SessionInfo* info, ErrorReporter* reporter, Logger* logger, const StartFacts& facts)
    : HtmlExternal(info, reporter, logger) {
  StoreStartProperties(facts);
}

StartFacts QRXExternal::QueryStartFacts() {
  StartFacts facts;
  facts.productInstalled = IsProductInstalled(kInstalledCheckCode);
  facts.serverOs = IsServerOs();
  if (HDC screen = GetDC(nullptr)) {
    facts.dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
  }
  facts.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  facts.osVersion = GetOsVersionText();
  return facts;
}

void QRXExternal::StoreStartProperties(const StartFacts& facts) {
  using downloadmanagercore::BoolText;
  SetPropertyValue(kQrxInstalledKey, BoolText(facts.productInstalled));
  SetPropertyValue(kOsIsServerKey, BoolText(facts.serverOs));
  SetPropertyValue(kDpiSatisfiedKey, BoolText(DpiSatisfied(facts.dpi, facts.screenHeight)));
  SetPropertyValue(kOsVersionKey, facts.osVersion);
}

int QRXExternal::InstallPackage(const std::wstring& packagePath, const std::wstring& parameters) {
  // A page may call install after a failed or missing download: nothing unchecked runs elevated.
  if (!IsCheckedPackage(packagePath)) {
    LogError(logger(), kLogInstallNotDownloaded, packagePath.c_str());
    return kInstallFatal;
  }
  return qrx::InstallPackage(*this, packagePath, parameters, ProductInstallOperations());
}

Logger* QRXExternal::GetLogger() { return logger(); }

std::wstring QRXExternal::GetProperty(const std::wstring& key) { return GetPropertyValue(key); }

void QRXExternal::SetInstallProgress(int value) { HtmlExternal::SetInstallProgress(value); }

void QRXExternal::SetProductVersion(const std::wstring& version) { HtmlExternal::SetProductVersion(version); }

void QRXExternal::AddAttachment(const std::wstring& path) { HtmlExternal::AddAttachment(path); }

HANDLE QRXExternal::GetStopEvent() { return HtmlExternal::GetStopEvent(); }

void QRXExternal::OnSetupStillRunning() { KeepDownloadFolderForSetup(); }

InstallProgress& QRXExternal::GetInstallProgressState() { return installProgress_; }

bool QRXExternal::GetInstalledStartProgram(std::wstring& path) { return FindInstalledStartProgram(path); }

}  // namespace qrx
