// Window operations of the bridge on a real window (under Xvfb in the test run).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/window_data.h"
#include "bridge/bridge_support.h"
#include "bridge/window_rect.h"
#include "common/unique_any.h"

namespace {

using bridgetest::BoolArg;
using bridgetest::CallMethod;
using bridgetest::IntArg;
using bridgetest::TestBridge;
using bridgetest::TextArg;
using qrx::UniqueVariant;

enum Id {
  kSetWindowSize = 1, kCloseWindow = 2, kHideWindow = 9, kMessageBox = 11, kDisableCloseWindow = 12,
  kRestoreWindow = 13, kRetryMessageBox = 15
};

int g_closeMessages = 0;

// Like the product's window: WM_CLOSE sets the close flag when there is one.
LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ++g_closeMessages;
    qrx::WindowData* data = qrx::GetWindowData(window);
    if (data && data->closeFlag) {
      *data->closeFlag = true;
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

ATOM RegisterClassNamed(const wchar_t* name) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &TestWindowProc;
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  const ATOM atom = RegisterClassExW(&wc);
  if (atom) return atom;
  return static_cast<ATOM>(GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc));
}

class HostWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(RegisterClassNamed(L"HTMLUI"), 0);
    window_ = CreateWindowExW(WS_EX_APPWINDOW, L"HTMLUI", L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    data_ = {nullptr, t_.bridge, nullptr, &closeFlag_};
    SetWindowLongPtrW(window_, 0, reinterpret_cast<LONG_PTR>(&data_));
    t_.bridge->SetHostWindow(window_);
    g_closeMessages = 0;
  }
  void TearDown() override {
    t_.bridge->SetHostWindow(nullptr);
    SetWindowLongPtrW(window_, 0, 0);
    DestroyWindow(window_);
  }
  RECT WindowRect() {
    RECT r = {};
    GetWindowRect(window_, &r);
    return r;
  }
  RECT ExpectedRect(int width, int height) {
    POINT cursor = {};
    GetCursorPos(&cursor);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &info);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return downloadmanagercore::ComputeWindowRectFor(dpi, width, height, info.rcWork, info.rcWork);
  }
  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }

  TestBridge t_;
  HWND window_ = nullptr;
  bool closeFlag_ = false;
  qrx::WindowData data_ = {};
};

void ExpectRect(const RECT& actual, const RECT& expected) {
  EXPECT_EQ(actual.left, expected.left);
  EXPECT_EQ(actual.top, expected.top);
  EXPECT_EQ(actual.right, expected.right);
  EXPECT_EQ(actual.bottom, expected.bottom);
}

TEST_F(HostWindow, SetWindowSizeCentresOnTheCursorMonitor) {
  ASSERT_EQ(CallMethod(t_.bridge, kSetWindowSize, DISPATCH_METHOD, {IntArg(647), IntArg(505)}, nullptr), S_OK);
  ExpectRect(WindowRect(), ExpectedRect(647, 505));
  EXPECT_EQ(t_.bridge->windowWidth(), ExpectedRect(647, 505).right - ExpectedRect(647, 505).left);
}

TEST_F(HostWindow, SameSizeLeavesAMovedWindowAlone) {
  ASSERT_EQ(CallMethod(t_.bridge, kSetWindowSize, DISPATCH_METHOD, {IntArg(647), IntArg(505)}, nullptr), S_OK);
  const RECT first = WindowRect();
  SetWindowPos(window_, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_EQ(CallMethod(t_.bridge, kSetWindowSize, DISPATCH_METHOD, {IntArg(647), IntArg(505)}, nullptr), S_OK);
  const RECT moved = WindowRect();
  EXPECT_EQ(moved.left, 10);
  EXPECT_EQ(moved.top, 20);
  EXPECT_EQ(moved.right - moved.left, first.right - first.left);
  // A new size re-centres it.
  ASSERT_EQ(CallMethod(t_.bridge, kSetWindowSize, DISPATCH_METHOD, {IntArg(500), IntArg(300)}, nullptr), S_OK);
  ExpectRect(WindowRect(), ExpectedRect(500, 300));
}

TEST_F(HostWindow, DocumentReadySizesAnUnsizedWindowOnly) {
  t_.info.wrapperError = 3;
  t_.info.msiError = 9;
  t_.bridge->OnDocumentReady(nullptr);
  ExpectRect(WindowRect(), ExpectedRect(400, 200));
  EXPECT_EQ(t_.info.wrapperError, 0);
  EXPECT_EQ(t_.info.msiError, 0);
  // Sized already: left alone, error fields too.
  SetWindowPos(window_, nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  t_.info.wrapperError = 1;
  t_.bridge->OnDocumentReady(nullptr);
  EXPECT_EQ(WindowRect().left, 5);
  EXPECT_EQ(t_.info.wrapperError, 1);
}

TEST_F(HostWindow, DisabledCloseMinimisesInsteadOfClosing) {
  ASSERT_EQ(CallMethod(t_.bridge, kDisableCloseWindow, DISPATCH_METHOD, {BoolArg(true)}, nullptr), S_OK);
  SendMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsIconic(window_));
  EXPECT_FALSE(closeFlag_);
  EXPECT_EQ(g_closeMessages, 0) << "the window procedure never saw it";
  ASSERT_EQ(CallMethod(t_.bridge, kRestoreWindow, DISPATCH_METHOD, {}, nullptr), S_OK);
  EXPECT_FALSE(IsIconic(window_));

  ASSERT_EQ(CallMethod(t_.bridge, kDisableCloseWindow, DISPATCH_METHOD, {BoolArg(false)}, nullptr), S_OK);
  SendMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(closeFlag_);
  EXPECT_EQ(g_closeMessages, 1);
}

TEST_F(HostWindow, DetachingRemovesTheCloseGuard) {
  ASSERT_EQ(CallMethod(t_.bridge, kDisableCloseWindow, DISPATCH_METHOD, {BoolArg(true)}, nullptr), S_OK);
  t_.bridge->SetHostWindow(nullptr);
  EXPECT_EQ(t_.bridge->hostWindow(), nullptr);
  SendMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(closeFlag_);
  EXPECT_FALSE(IsIconic(window_));
}

TEST_F(HostWindow, HideMinimisesAndRestoreBringsItBack) {
  ASSERT_EQ(CallMethod(t_.bridge, kHideWindow, DISPATCH_METHOD, {}, nullptr), S_OK);
  EXPECT_TRUE(IsIconic(window_));
  ASSERT_EQ(CallMethod(t_.bridge, kRestoreWindow, DISPATCH_METHOD, {}, nullptr), S_OK);
  EXPECT_FALSE(IsIconic(window_));
}

TEST_F(HostWindow, CloseWindowSetsTheFlagOnceAndNeverDestroys) {
  ASSERT_EQ(CallMethod(t_.bridge, kCloseWindow, DISPATCH_METHOD, {}, nullptr), S_OK);
  EXPECT_TRUE(closeFlag_);
  EXPECT_TRUE(IsWindow(window_));
  // A second call changes nothing: the loop owner may have cleared... nothing is posted either.
  ASSERT_EQ(CallMethod(t_.bridge, kCloseWindow, DISPATCH_METHOD, {}, nullptr), S_OK);
  EXPECT_TRUE(closeFlag_);
  EXPECT_TRUE(IsWindow(window_));
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, window_, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  const std::vector<std::string> expected = {"ZSClose", "ZSClose"};
  EXPECT_EQ(t_.LogMessages(), expected);
}

TEST_F(HostWindow, WithoutAWindowControlTheWindowIsLeftAlone) {
  t_.bridge->AttachWindowControl(nullptr);
  ASSERT_EQ(CallMethod(t_.bridge, kCloseWindow, DISPATCH_METHOD, {}, nullptr), S_OK);
  ASSERT_EQ(CallMethod(t_.bridge, kHideWindow, DISPATCH_METHOD, {}, nullptr), S_OK);
  const RECT before = WindowRect();
  ASSERT_EQ(CallMethod(t_.bridge, kSetWindowSize, DISPATCH_METHOD, {IntArg(647), IntArg(505)}, nullptr), S_OK);
  EXPECT_FALSE(closeFlag_);
  EXPECT_FALSE(IsIconic(window_));
  ExpectRect(WindowRect(), before);
  // The log still records each call.
  const std::vector<std::string> expected = {"ZSClose", "ZSHideWindow", "ZSWindowSize: 647"};
  EXPECT_EQ(t_.LogMessages(), expected);
}

TEST(HostWindowClass, CloseWindowIgnoresAWindowOfAnotherClass) {
  ASSERT_NE(RegisterClassNamed(L"NotTheHost"), 0);
  HWND other = CreateWindowExW(0, L"NotTheHost", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  bool flag = false;
  qrx::WindowData data = {nullptr, nullptr, nullptr, &flag};
  SetWindowLongPtrW(other, 0, reinterpret_cast<LONG_PTR>(&data));
  {
    TestBridge t;
    t.bridge->SetHostWindow(other);
    ASSERT_EQ(CallMethod(t.bridge, kCloseWindow, DISPATCH_METHOD, {}, nullptr), S_OK);
    EXPECT_FALSE(flag);
    t.bridge->SetHostWindow(nullptr);
  }
  DestroyWindow(other);
}

// Answers the next message box of `threadId` from another thread.
struct Answer {
  DWORD threadId;
  UINT mode;  // a button id for WM_COMMAND, or 0 for the Escape key
  HANDLE answered;
  std::wstring text;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  if (std::wstring(name) == L"#32770") {
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
  }
  return TRUE;
}

// The box's message: the text of its static control.
BOOL CALLBACK CollectText(HWND child, LPARAM param) {
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  wchar_t text[256] = {};
  GetWindowTextW(child, text, 256);
  if (_wcsicmp(name, L"Static") == 0 && text[0]) {
    *reinterpret_cast<std::wstring*>(param) = text;
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI AnswerBox(void* param) {
  auto* answer = static_cast<Answer*>(param);
  HWND box = nullptr;
  const DWORD deadline = GetTickCount() + 10000;
  // The box counts as shown once it is visible and its message is in place.
  while (GetTickCount() < deadline) {
    box = nullptr;
    EnumThreadWindows(answer->threadId, &FindBox, reinterpret_cast<LPARAM>(&box));
    if (box && IsWindowVisible(box)) {
      EnumChildWindows(box, &CollectText, reinterpret_cast<LPARAM>(&answer->text));
      if (!answer->text.empty()) break;
    }
    Sleep(20);
  }
  if (!box) return 1;
  if (answer->mode == 0) {
    PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(box, WM_KEYUP, VK_ESCAPE, 0);
  } else {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer->mode, BN_CLICKED), 0);
  }
  SetEvent(answer->answered);
  return 0;
}

TEST_F(HostWindow, RetryMessageBoxIsTrueOnlyForRetry) {
  struct Case {
    UINT mode;
    VARIANT_BOOL expected;
  };
  const Case cases[] = {{IDRETRY, VARIANT_TRUE}, {IDCANCEL, VARIANT_FALSE}, {0, VARIANT_FALSE}};
  for (const Case& c : cases) {
    qrx::UniqueHandle answered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Answer answer = {GetCurrentThreadId(), c.mode, answered.get(), L""};
    qrx::UniqueHandle thread(CreateThread(nullptr, 0, &AnswerBox, &answer, 0, nullptr));
    UniqueVariant result;
    const DWORD start = GetTickCount();
    ASSERT_EQ(CallMethod(t_.bridge, kRetryMessageBox, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                         {TextArg(L"Download failed. Retry?")}, result.get()),
              S_OK);
    EXPECT_EQ(WaitForSingleObject(answered.get(), 0), WAIT_OBJECT_0) << "answered by the helper thread";
    EXPECT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(answer.text, L"Download failed. Retry?");
    ASSERT_EQ(result.get()->vt, VT_BOOL);
    EXPECT_EQ(result.get()->boolVal, c.expected) << c.mode;
    RecordProperty("box_ms_" + std::to_string(c.mode), static_cast<int>(GetTickCount() - start));
  }
}

TEST_F(HostWindow, MessageBoxReturnsAfterTheUserClosedIt) {
  qrx::UniqueHandle answered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  Answer answer = {GetCurrentThreadId(), IDOK, answered.get(), L""};
  qrx::UniqueHandle thread(CreateThread(nullptr, 0, &AnswerBox, &answer, 0, nullptr));
  ASSERT_EQ(CallMethod(t_.bridge, kMessageBox, DISPATCH_METHOD, {TextArg(L"Hello"), TextArg(L"Caption")}, nullptr),
            S_OK);
  EXPECT_EQ(WaitForSingleObject(answered.get(), 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
  EXPECT_EQ(answer.text, L"Hello");
  const std::vector<std::string> expected = {"ZSMessageBox: Hello Caption"};
  EXPECT_EQ(t_.LogMessages(), expected);
}

}  // namespace
