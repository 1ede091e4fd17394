// Launching through the desktop shell, and the text prepared for it.
#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>

#include <gtest/gtest.h>

#include "htmlhost/desktop_shell_execute.h"
#include "htmlhost/shell_text.h"
#include "support/test_support.h"

namespace {

TEST(ShellText, CaretBeforeEveryAmpersand) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } rows[] = {
      {L"", L""},
      {L"http://x/?a=1&b=2", L"http://x/?a=1^&b=2"},
      {L"a&b&c", L"a^&b^&c"},
      {L"&&", L"^&^&"},
      {L"&", L"^&"},
      {L"no ampersand", L"no ampersand"},
      {L"^&", L"^^&"},
      {L"a=1&b=2", L"a=1^&b=2"},
      {L"plain", L"plain"},
  };
  for (const auto& row : rows) EXPECT_EQ(row.out, htmlui::InsertCaretsBeforeAmpersands(row.in)) << row.in;
}

// The launch goes through the desktop's shell: the program runs with the given arguments.
TEST(DesktopShellExecute, StartsTheProgramThroughTheShell) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  qrxtest::TempDir folder;
  const std::wstring marker = folder.Join(L"launched.txt");
  IShellWindows* windows = nullptr;
  const HRESULT created = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                           reinterpret_cast<void**>(&windows));
  if (windows) windows->Release();
  const HRESULT hr = htmlui::DesktopShellExecute(L"cmd.exe", L"/c echo launched>\"" + marker + L"\"");
  if (FAILED(created)) {
    // Without a shell serving the collection, the launch fails with the creation's own result.
    EXPECT_EQ(created, hr);
    EXPECT_FALSE(qrxtest::FileExists(marker));
  } else {
    ASSERT_EQ(S_OK, hr);
    const DWORD start = GetTickCount();
    while (!qrxtest::FileExists(marker) && GetTickCount() - start < 20000) Sleep(50);
    EXPECT_TRUE(qrxtest::FileExists(marker)) << "the shell started the program within 20 s";
  }
  CoUninitialize();
}

TEST(DesktopShellExecute, NeedsComOnTheThread) {
  // Without COM on the thread nothing can be reached.
  EXPECT_TRUE(FAILED(htmlui::DesktopShellExecute(L"notepad.exe", L"")));
}

}  // namespace
