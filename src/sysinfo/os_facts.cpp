#include "sysinfo/os_facts.h"

#include <vector>

#include "common/unique_any.h"

namespace qrx {

std::wstring OsNameFor(const OsVersionFacts& facts) {
  if (!facts.queryOk) return L"Other";
  const DWORD major = facts.major;
  const DWORD minor = facts.minor;
  const bool workstation = facts.productType == VER_NT_WORKSTATION;
  if (major == 5 && minor == 1) return L"Windows XP";
  if (major == 5 && minor == 2) {
    return (workstation && facts.nativeArchitecture == PROCESSOR_ARCHITECTURE_AMD64) ? L"Windows XP"
                                                                                      : L"Other";
  }
  if (!workstation) return L"Other";
  if (major == 6) {
    switch (minor) {
      case 0: return L"Windows Vista";
      case 1: return L"Windows 7";
      case 2:
      case 3: return L"Windows 8";
      case 4: return L"Windows 10";
      default: return L"Other";
    }
  }
  if (major == 10) return L"Windows 10";
  return L"Other";
}

std::wstring ArchitectureFor(WORD nativeArchitecture) {
  if (nativeArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
      nativeArchitecture == PROCESSOR_ARCHITECTURE_IA64) {
    return L"x64";
  }
  return L"x86";
}

bool IntegrityLevelIsElevated(DWORD integrityLevel) { return integrityLevel > 0x2FFF; }

bool ElevatedFor(bool versionOk, DWORD major, bool userIsAdmin, DWORD integrityLevel) {
  if (versionOk && major < 6 && userIsAdmin) return true;
  return IntegrityLevelIsElevated(integrityLevel);
}

std::wstring OsVersionTextFor(DWORD major, DWORD minor) {
  wchar_t text[32];
  wsprintfW(text, L"%u.%u", major, minor);
  return text;
}

bool IsServerProductType(BYTE productType) { return productType != VER_NT_WORKSTATION; }

OsVersionFacts QueryOsVersion() {
  OsVersionFacts facts;
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  facts.queryOk = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != FALSE;
  facts.major = info.dwMajorVersion;
  facts.minor = info.dwMinorVersion;
  facts.productType = info.wProductType;
  SYSTEM_INFO system = {};
  GetNativeSystemInfo(&system);
  facts.nativeArchitecture = system.wProcessorArchitecture;
  return facts;
}

std::wstring GetOsName() { return OsNameFor(QueryOsVersion()); }

std::wstring GetArchitecture() { return ArchitectureFor(QueryOsVersion().nativeArchitecture); }

std::wstring GetOsVersionText() {
  const OsVersionFacts facts = QueryOsVersion();
  return OsVersionTextFor(facts.major, facts.minor);
}

bool IsServerOs() { return IsServerProductType(QueryOsVersion().productType); }

bool IsUserAdmin() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
  UniqueSid administrators;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                0, 0, 0, 0, 0, administrators.put())) {
    return false;
  }
  BOOL member = FALSE;
  return CheckTokenMembership(nullptr, administrators.get(), &member) && member;
}

DWORD QueryIntegrityLevel() {
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return 0;
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size);
  if (size < sizeof(TOKEN_MANDATORY_LABEL)) return 0;
  UniqueHLocal buffer(LocalAlloc(LPTR, size));
  if (!buffer) return 0;
  DWORD level = 0;
  auto* label = static_cast<TOKEN_MANDATORY_LABEL*>(buffer.get());
  if (GetTokenInformation(token.get(), TokenIntegrityLevel, label, size, &size) &&
      IsValidSid(label->Label.Sid) && *GetSidSubAuthorityCount(label->Label.Sid) > 0) {
    level = *GetSidSubAuthority(label->Label.Sid, 0);
  }
  return level;
}

bool IsElevated() {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  const bool versionOk = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != FALSE;
  // Only pre-Vista systems need the membership test.
  const bool admin = versionOk && info.dwMajorVersion < 6 && IsUserAdmin();
  return ElevatedFor(versionOk, info.dwMajorVersion, admin, QueryIntegrityLevel());
}

}  // namespace qrx
