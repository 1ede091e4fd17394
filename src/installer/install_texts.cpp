#include "installer/install_texts.h"

namespace qrx {

const wchar_t kSetupFileName[] = L"setup.exe";
const wchar_t kSetupLogName[] = L"log.txt";
const wchar_t kSetupXmlLogName[] = L"log.txt.xml";
const wchar_t kSetupDesktopName[] = L"QRXVirtualDesktop";
const wchar_t kSetupSwitches[] = L" /qn /l* \"";
const wchar_t kInstallProgressKey[] = L"installProgress";
const wchar_t kOsBitsKey[] = L"osbits";

const wchar_t kRedistLogNameFormat[] = L"dd_vcredist_%s_%.4d%.2d%.2d%.2d%.2d%.2d.log";
const wchar_t kRedistArch64[] = L"amd64";
const wchar_t kRedistArch32[] = L"x86";
const wchar_t kRedistPattern64[] = L"dd_vcredist_amd64_*.log";
const wchar_t kRedistPattern32[] = L"dd_vcredist_x86_*.log";
const wchar_t kDotNetLogName[] = L"dd_dotnetfx40_full_setup_decompression_log.txt";

const wchar_t kLogUnzipFailed[] = L"Unzip failed, installer_path: %s, unzip to: %s\n";
const wchar_t kLogSetupNotFound[] = L"Can not find setup.exe, unzip path : %s";
const wchar_t kLogSetupCommandLine[] = L"Install : cmd line: %s";
const wchar_t kLogCreateProcessFailed[] = L"Create process failed, setup cmd line: %s";
const wchar_t kLogSetupTempFailed[] = L"No setup temp folder in %s";
const wchar_t kLogSetupExitCode[] = L"Install error: %d\n";
const wchar_t kLogSetupLeftRunning[] = L"Stopped waiting for setup; it runs on by itself";
const wchar_t kLogProductCodeInstalled[] = L"productcode: %s  installed\n";
const wchar_t kLogInstallStageFailed[] = L"Install stage %d failed, detail %d";
const wchar_t kLogUnzipStopped[] = L"Unpacking stopped by shut-down";
const wchar_t kLogSetupNotMarked[] = L"Setup not added to the run marker of %s, error %u";

}  // namespace qrx
