// The run from start-up to shut-down.
#pragma once

#include <windows.h>

#include <string>

namespace qrx {

class PageFiles;
class QRXExternal;

extern const wchar_t kProductId[];
extern const wchar_t kManagerVersion[];
extern const wchar_t kInstanceMutexName[];
extern const wchar_t kHostWindowClass[];
extern const wchar_t kResumeShortcutName[];

// String resources of the privilege refusal.
constexpr UINT kRefusalTextId = 102;
constexpr UINT kRefusalCaptionId = 103;

// The refusal text and caption in the language of `languageIndex`, or in English when either
// is missing there.
void LoadRefusalTexts(int languageIndex, std::wstring& text, std::wstring& caption);

// The whole run; always returns 0, the process exit code.
int RunDownloadManager();

// The UI stage: reports, resume shortcut, window, error report.
void RunUi(const std::wstring& shortcutName, PageFiles& pages, QRXExternal* bridge);

// Shows the host window on `pagePath` and returns when it has closed.
using HostWindowRunner = void (*)(const std::wstring& pagePath, QRXExternal* bridge);
// The UI stage with the page folder's state and the window given; RunUi passes the real window.
void RunUiStage(const std::wstring& shortcutName, bool pagesLoaded, const std::wstring& pageFolder,
                QRXExternal* bridge, HostWindowRunner runWindow);

}  // namespace qrx
