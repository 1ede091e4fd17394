// Fetches a URL into the owner's download folder with progress counters and retries.
#pragma once

#include <string>

namespace downloadmanagercore {

class DownloadOwner;
struct ResumeState;

// Bytes read from the pull stream at a time.
constexpr unsigned kDownloadReadSize = 8192;

// The file-name part of the URL (the text after its last separator), undecoded.
std::wstring DownloadFileName(const std::wstring& url);
// False for names that would not name a file inside the download folder: empty, "." or "..",
// or still holding a separator.
bool IsPlainFileName(const std::wstring& name);

// Runs on a thread with COM initialised that pumps no other message loop meanwhile. Sets the
// owner's download path, writes the file, updates the counters; returns a download result code.
// `state` comes in empty, or as an earlier failed call for the same URL left it: then the first
// attempt asks for the rest of its file. It goes out as this call leaves it.
int DownloadFile(DownloadOwner& owner, const std::wstring& url, ResumeState& state);

}  // namespace downloadmanagercore
