#include "pages/bridge_host/product_run.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/host_window.h"
#include "app/install_language.h"
#include "app/run_sequence.h"
#include "bridge/qrx_external.h"
#include "bridge/worker_pool.h"
#include "log/logger.h"
#include "payload/license.h"
#include "payload/license_endpoint.h"
#include "payload/page_languages.h"
#include "reporting/error_reporter.h"
#include "reporting/session_info.h"
#include "sysinfo/languages.h"
#include "sysinfo/temp_folder.h"

namespace qrxtest {

const wchar_t* const kProductWindowClass = qrx::kHostWindowClass;

namespace {

WindowHooks windowHooks = {};
bool windowCreated = false;

// The "LANG" list of the page folder's parameters file, read as the wizard reads it.
std::vector<std::wstring> PageLanguages(const std::wstring& pageFolder) {
  const std::wstring path = pageFolder + L"\\js\\installparams.js";
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return {};
  std::string bytes;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0) bytes.append(buffer, n);
  fclose(file);
  std::wstring text;
  if (!qrx::Utf8ToWide(bytes, text)) return {};
  return qrx::ParseSupportedLanguages(text);
}

void ShowProductWindow(const std::wstring& pagePath, qrx::QRXExternal* bridge) {
  qrx::RegisterHostClass();
  IDispatchEx* external = nullptr;
  if (FAILED(bridge->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&external)))) return;
  windowHooks.beforeWindow(external, windowHooks.context);
  windowCreated = qrx::CreateHostWindow(pagePath, bridge);
  windowHooks.afterWindow(windowHooks.context);
  external->Release();
}

}  // namespace

bool RunProductUi(const std::wstring& pageFolder, const WindowHooks& hooks) {
  windowHooks = hooks;
  qrx::Logger logger;
  qrx::SessionInfo info(qrx::kProductId, qrx::kManagerVersion);
  qrx::ErrorReporter reporter(&info);
  downloadmanagercore::WorkerPool workers;
  auto* bridge = new qrx::QRXExternal(&info, &reporter, &logger);
  bridge->AttachWorkers(&workers);
  info.installLanguage = qrx::ChooseInstallLanguage(PageLanguages(pageFolder), qrx::kSupportedLanguages);
  const std::wstring code = qrx::GetLanguageCode(info.installLanguage);
  bridge->SetPropertyValue(L"lang", code);
  qrx::PrepareLicenseFrom(pageFolder, code,
                          qrx::LicenseUrl(qrx::kLicenseEndpoint, QRX_LICENSE_HOST, info.productId, code), &logger);

  if (!qrx::RunUiStage(qrx::kResumeShortcutName, true, pageFolder, bridge, workers, &ShowProductWindow)) {
    // As the wizard does: a worker that would not stop still uses the bridge and the log, which
    // therefore stay; ending the process ends the worker.
    windowHooks.beforeExit(windowHooks.context);
    logger.CloseFile();
    qrx::DeleteFolderTree(logger.folder());
    ExitProcess(windowCreated ? 0 : 1);
  }
  bridge->Release();
  reporter.attachments.clear();
  return windowCreated;
}

}  // namespace qrxtest
