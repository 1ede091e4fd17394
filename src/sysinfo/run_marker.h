// The marker file in each working folder under the temp folder: which processes own the folder.
// A later run removes marked folders whose owners have all ended.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qrx {

extern const wchar_t kRunMarkerName[];
// Logged (ERROR) by the owner of a working folder whose marker could not be written: a later run
// will not know the folder as one to remove. Folder and system error.
extern const wchar_t kLogRunMarkerNotWritten[];

// A process named by id and creation time, so that a reused id is not taken for the owner.
struct ProcessStamp {
  DWORD id = 0;
  uint64_t creationTime = 0;
};

// One marker line: "<decimal id> <16 hexadecimal digits of the creation time>\r\n".
std::string FormatMarkerLine(const ProcessStamp& stamp);
// The owners listed in a marker. False when any line is not in the shape above, or none is there.
bool ParseMarker(const std::string& text, std::vector<ProcessStamp>& owners);

bool GetProcessStamp(HANDLE process, ProcessStamp& stamp);
// Whether the process is still running. A process that cannot be looked at counts as running.
bool IsProcessRunning(const ProcessStamp& stamp);

// Writes the marker naming this process into the new folder `folder`.
bool WriteRunMarker(const std::wstring& folder);
// Adds `process` to the marker of `folder`, if the folder carries one.
bool AddProcessToRunMarker(const std::wstring& folder, HANDLE process);
// The owners listed in the marker of `folder`; false when there is no readable marker.
bool ReadRunMarker(const std::wstring& folder, std::vector<ProcessStamp>& owners);

}  // namespace qrx
