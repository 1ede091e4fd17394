// Names and log lines of the silent setup, each in one place.
#pragma once

namespace qrx {

extern const wchar_t kSetupFileName[];        // "setup.exe"
extern const wchar_t kSetupLogName[];         // "log.txt", passed to setup after "/l*"
extern const wchar_t kSetupXmlLogName[];      // "log.txt.xml", beside it
extern const wchar_t kSetupDesktopName[];     // "QRXVirtualDesktop"
extern const wchar_t kSetupSwitches[];        // " /qn /l* \""
extern const wchar_t kInstallProgressKey[];   // "installProgress"
extern const wchar_t kOsBitsKey[];            // "osbits"

extern const wchar_t kRedistLogNameFormat[];  // "dd_vcredist_%s_%.4d%.2d%.2d%.2d%.2d%.2d.log"
extern const wchar_t kRedistArch64[];         // "amd64"
extern const wchar_t kRedistArch32[];         // "x86"
extern const wchar_t kRedistPattern64[];      // "dd_vcredist_amd64_*.log"
extern const wchar_t kRedistPattern32[];      // "dd_vcredist_x86_*.log"
extern const wchar_t kDotNetLogName[];        // "dd_dotnetfx40_full_setup_decompression_log.txt"

// Log lines (DEBUG level).
extern const wchar_t kLogUnzipFailed[];
extern const wchar_t kLogSetupNotFound[];
extern const wchar_t kLogSetupCommandLine[];
extern const wchar_t kLogCreateProcessFailed[];
extern const wchar_t kLogSetupTempFailed[];
extern const wchar_t kLogSetupExitCode[];
extern const wchar_t kLogSetupLeftRunning[];
extern const wchar_t kLogProductCodeInstalled[];
extern const wchar_t kLogInstallStageFailed[];  // the stage (wrapperError 4 to 7) and its detail
extern const wchar_t kLogUnzipStopped[];
extern const wchar_t kLogSetupNotMarked[];      // ERROR level

}  // namespace qrx
