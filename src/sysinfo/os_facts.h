// Operating system, architecture and elevation facts.
#pragma once

#include <windows.h>

#include <string>

namespace qrx {

// The facts a version query gives; `queryOk` false when GetVersionExW failed.
struct OsVersionFacts {
  bool queryOk = false;
  DWORD major = 0;
  DWORD minor = 0;
  BYTE productType = 0;  // 1 = workstation
  WORD nativeArchitecture = 0;  // PROCESSOR_ARCHITECTURE_*
};

// Decisions, from facts passed in.
std::wstring OsNameFor(const OsVersionFacts& facts);
std::wstring ArchitectureFor(WORD nativeArchitecture);
bool IntegrityLevelIsElevated(DWORD integrityLevel);
// Pre-Vista systems have no integrity levels: there an administrator counts as elevated.
bool ElevatedFor(bool versionOk, DWORD major, bool userIsAdmin, DWORD integrityLevel);
std::wstring OsVersionTextFor(DWORD major, DWORD minor);
bool IsServerProductType(BYTE productType);

// The facts of this machine.
OsVersionFacts QueryOsVersion();
DWORD QueryIntegrityLevel();

std::wstring GetOsName();
std::wstring GetArchitecture();
std::wstring GetOsVersionText();
bool IsServerOs();
bool IsUserAdmin();
bool IsElevated();

}  // namespace qrx
