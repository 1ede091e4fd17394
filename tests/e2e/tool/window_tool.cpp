// Acts on the wizard's windows from outside its process, as a user would, for the whole-run tests:
//   window_tool answer <button id> <timeout ms>   waits for a message box, prints its text, presses the button
//   window_tool close                             posts WM_CLOSE to the "HTMLUI" window
//   window_tool wait <none|iconic|shown> <timeout ms>  waits until the "HTMLUI" window is in that state
//   window_tool visible <class> <timeout ms>     prints "watching", then ends as soon as a window of that
//                                                class is visible and not minimised (for start-up timing)
//   window_tool load <dll name>                   loads a DLL by bare name (0 when it loaded)
// Exit code 0 when done, 1 when the window never came or never reached the state, 2 for bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

const wchar_t kHostClass[] = L"HTMLUI";
const wchar_t kBoxClass[] = L"#32770";
constexpr DWORD kPollMs = 50;
constexpr DWORD kTimingPollMs = 2;

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  wchar_t text[512] = {};
  GetWindowTextW(child, text, 512);
  if (_wcsicmp(name, L"Static") == 0 && text[0]) {
    *reinterpret_cast<std::wstring*>(param) = text;
    return FALSE;
  }
  return TRUE;
}

void PrintUtf8(const std::wstring& text) {
  char buffer[2048] = {};
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer) - 1, nullptr, nullptr);
  std::printf("%s\n", buffer);
  std::fflush(stdout);
}

int Answer(UINT button, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  // The box counts as shown once it is visible and its message is in place.
  while (GetTickCount() - start < timeoutMs) {
    HWND box = FindWindowW(kBoxClass, nullptr);
    std::wstring text;
    if (box && IsWindowVisible(box)) EnumChildWindows(box, &CollectText, reinterpret_cast<LPARAM>(&text));
    if (!text.empty()) {
      PrintUtf8(text);
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
      return 0;
    }
    Sleep(kPollMs);  // polling another process's window; bounded above
  }
  return 1;
}

const char* State() {
  HWND window = FindWindowW(kHostClass, nullptr);
  if (!window) return "none";
  return IsIconic(window) ? "iconic" : "shown";
}

int Wait(const char* wanted, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const char* state = State();
    if (std::strcmp(state, wanted) == 0 || GetTickCount() - start >= timeoutMs) {
      std::printf("%s\n", state);
      return std::strcmp(state, wanted) == 0 ? 0 : 1;
    }
    Sleep(kPollMs);  // polling another process's window; bounded above
  }
}

int Visible(const wchar_t* windowClass, DWORD timeoutMs) {
  std::printf("watching\n");
  std::fflush(stdout);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    HWND window = FindWindowW(windowClass, nullptr);
    if (window && IsWindowVisible(window) && !IsIconic(window)) return 0;
    Sleep(kTimingPollMs);  // polling another process's window; bounded above
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "answer") == 0) {
    return Answer(static_cast<UINT>(std::atoi(argv[2])), static_cast<DWORD>(std::atol(argv[3])));
  }
  if (argc >= 2 && std::strcmp(argv[1], "close") == 0) {
    HWND window = FindWindowW(kHostClass, nullptr);
    if (!window) return 1;
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (argc >= 4 && std::strcmp(argv[1], "visible") == 0) {
    wchar_t windowClass[64] = {};
    MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, windowClass, 63);
    return Visible(windowClass, static_cast<DWORD>(std::atol(argv[3])));
  }
  if (argc >= 4 && std::strcmp(argv[1], "wait") == 0) {
    return Wait(argv[2], static_cast<DWORD>(std::atol(argv[3])));
  }
  if (argc >= 3 && std::strcmp(argv[1], "load") == 0) {
    // Loads a DLL by bare name with the ordinary search order, as a program without our rules would.
    return LoadLibraryA(argv[2]) ? 0 : 1;
  }
  return 2;
}
