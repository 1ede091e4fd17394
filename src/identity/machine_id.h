// The stable machine identifier and the per-run request token.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/unique_any.h"

namespace qrx {

// Returned when no machine identifier could be resolved.
extern const wchar_t kMachineIdPlaceholder[];
// Returned when no GUID could be made for the request token.
extern const wchar_t kRequestTokenPlaceholder[];

// A new GUID as 36 upper-case characters without braces.
bool NewGuidText(std::wstring& text);
std::wstring NewRequestToken();

// The identifier of this machine, resolved once per process; the placeholder when it cannot be.
// Initialises COM on the calling thread for the time of the call.
std::wstring GetMachineId();
// The cached identifier, or the stored, derived or random one (which is then cached).
bool ResolveMachineId(std::wstring& id);

// Whether WMI answered; `isVirtual` then tells whether the computer system is a known virtual one.
bool DetectVirtualMachine(bool& isVirtual);
// The permanent MAC addresses of the physical network adapters, as "00:1A:2B:3C:4D:5E" texts.
bool CollectMacAddresses(std::vector<std::wstring>& addresses);

// The stored identifier ("UniqueId\data" in the common application data folder, machine-scope
// data protection).
bool LoadStoredId(std::wstring& id);
bool SaveStoredId(const std::wstring& id);
// The store's file path; creates the "UniqueId" folder.
bool GetStoredIdPath(std::wstring& path);
// CreateFileW without sharing, retried every 5 ms for up to 3 s while another opener holds the file.
UniqueFile OpenWithRetry(const std::wstring& path, DWORD access, DWORD disposition);

// Where the resolution gets its facts; the process uses the functions above.
struct MachineIdSources {
  bool (*detectVirtualMachine)(bool& isVirtual);
  bool (*collectMacAddresses)(std::vector<std::wstring>& addresses);
  bool (*loadStoredId)(std::wstring& id);
  bool (*saveStoredId)(const std::wstring& id);
  bool (*newGuidText)(std::wstring& text);
};
extern const MachineIdSources kSystemMachineIdSources;

// The resolution with its sources and cache given. Holds a machine-wide lock from reading the
// store to saving a new identifier, so processes resolving at once agree on one identifier.
bool ResolveMachineIdFrom(const MachineIdSources& sources, std::wstring& cache, std::wstring& id);

}  // namespace qrx
