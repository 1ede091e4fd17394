// The stable machine identifier and the per-run request token.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/unique_any.h"
#include "identity/machine_id_rules.h"

namespace qrx {
class Logger;
}

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
// The store's file path; creates the "UniqueId" folder or checks the existing one, and removes a
// "data" entry that is a link.
bool GetStoredIdPath(std::wstring& path);
// CreateFileW without sharing, retried every 5 ms for up to 3 s while another opener holds the file.
UniqueFile OpenWithRetry(const std::wstring& path, DWORD access, DWORD disposition);

// The security of a store folder the program creates or takes over: owner Administrators;
// SYSTEM and Administrators full control, Users read; nothing inherited.
extern const wchar_t kStoreFolderSddl[];
extern const wchar_t kLogStoreFolderReclaimed[];
extern const wchar_t kLogStoreFolderRefused[];
extern const wchar_t kLogStoreFolderReclaimFailed[];
extern const wchar_t kLogStoreFileDropped[];
// A stored id with a character that a report URL, XML or a log line cannot carry.
extern const wchar_t kLogStoredIdUnsafe[];

// What an opened folder entry is; tests stand in for it where Wine cannot show a case.
typedef bool (*ReadStoreFolderFactsFn)(HANDLE folder, StoreFolderFacts& facts);
bool ReadStoreFolderFacts(HANDLE folder, StoreFolderFacts& facts);
// Creates the folder with the store's security (false when it exists or cannot be made).
bool CreateStoreFolder(const std::wstring& folder);
// Creates the store folder, or checks the existing one: a link or a file is refused, a folder
// someone else owns is re-owned and re-secured. Both are logged.
bool PrepareStoreFolder(const std::wstring& folder);
bool PrepareStoreFolderWith(const std::wstring& folder, ReadStoreFolderFactsFn readFacts);
// Removes a store file entry that is a link, has other names or is a folder; true when no such
// entry is left.
bool DropLinkedStoreFile(const std::wstring& path);

// While it lives, the store's findings go to this log (the run's); they are dropped otherwise.
class MachineIdLogScope {
 public:
  explicit MachineIdLogScope(Logger* logger);
  ~MachineIdLogScope();
  MachineIdLogScope(const MachineIdLogScope&) = delete;
  MachineIdLogScope& operator=(const MachineIdLogScope&) = delete;
};
// The log of the current scope, or null.
Logger* MachineIdLogger();

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
