// Unpacking the product package and running its setup silently on a hidden desktop.
#pragma once

#include <string>

#include "installer/install_owner.h"
#include "installer/package_extract.h"

namespace qrx {

// The calls an install makes into the zip layer and the Windows Installer queries.
struct InstallOperations {
  ExtractArchiveFunction extract;                         // ExtractArchive
  bool (*isProductInstalled)(const wchar_t* productCode);  // IsProductInstalled
  std::wstring (*queryProductVersion)(const wchar_t* productCode);  // QueryProductVersion
  // SHA-256 thumbprints of the certificates allowed to sign setup.exe (ParseSignerList); null
  // or empty: setup runs unchecked.
  const wchar_t* setupSigners;
};

// The product's operations: the zip layer's ExtractArchive, the Windows Installer queries and the
// build's list of setup signers.
InstallOperations ProductInstallOperations();

// Milliseconds between two setup progress polls.
constexpr DWORD kSetupPollIntervalMs = 1000;

// One setup poll: asks for all six product codes of the list "osbits" selects, moves the progress
// state, logs a newly reached code and publishes the value.
void PollSetupProgress(InstallOwner& owner, const InstallOperations& operations);

// Unpacks the package beside itself, finds "setup.exe", runs it with the parameters verbatim
// followed by " /qn /l* " and the quoted log path on the "QRXVirtualDesktop" desktop with the
// package folder as current directory, polls the progress while it runs, and collects the logs.
// Returns an install result code: 0, 1, 3 or 4, or kInstallStopped when shut-down asked to stop
// (while unpacking, before setup started, or while waiting for setup, which then runs on).
// Failures before setup ran give 3 and log the stage ("Install stage %d failed, detail %d"):
// 4 (unpacking), 5 (no setup program), 7 with WinVerifyTrust's answer (a file not signed by a
// listed certificate; checked only when the list is not empty) or 6 with the system error (setup's
// temp folder or process creation).
int InstallPackage(InstallOwner& owner, const std::wstring& packagePath, const std::wstring& setupParameters,
                   const InstallOperations& operations);

}  // namespace qrx
