#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "app/resume_shortcut.h"
#include "app/run_sequence.h"
#include "common/com_ptr.h"
#include "support/test_support.h"

namespace {

using qrxtest::FileExists;
using qrxtest::GetEnv;
using qrxtest::ScopedEnv;
using qrxtest::TempDir;

std::wstring SelfPath() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return self;
}

std::wstring FileName(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

// Target and working directory of a saved shortcut.
bool ReadShortcut(const std::wstring& path, std::wstring& target, std::wstring& folder) {
  qrx::ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()))) {
    return false;
  }
  qrx::ComPtr<IPersistFile> file;
  if (FAILED(link.As(&file)) || FAILED(file->Load(path.c_str(), STGM_READ))) return false;
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(link->GetPath(buffer, MAX_PATH, nullptr, 0))) return false;
  target = buffer;
  buffer[0] = L'\0';
  if (FAILED(link->GetWorkingDirectory(buffer, MAX_PATH))) return false;
  folder = buffer;
  return true;
}

class ResumeShortcut : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(ResumeShortcut, PathIsOnTheDesktop) {
  wchar_t desktop[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop), S_OK);
  EXPECT_EQ(qrx::GetShortcutPath(qrx::kResumeShortcutName),
            std::wstring(desktop) + L"\\Continue Lumenary R7 Installation.lnk");
}

TEST_F(ResumeShortcut, CopyGoesToTheTempFolderAndTheShortcutPointsAtIt) {
  TempDir temp;
  ScopedEnv tmp(L"TMP", temp.path());
  ScopedEnv tempVariable(L"TEMP", temp.path());
  std::wstring copy;
  ASSERT_TRUE(qrx::CopySelfToTemp(copy));
  EXPECT_EQ(copy, temp.path() + FileName(SelfPath()));
  EXPECT_EQ(qrxtest::ReadFileBytes(copy).size(), qrxtest::ReadFileBytes(SelfPath()).size());

  const std::wstring shortcut = temp.Join(L"resume.lnk");
  qrx::CreateResumeShortcut(copy, shortcut);
  std::wstring target;
  std::wstring folder;
  ASSERT_TRUE(ReadShortcut(shortcut, target, folder));
  EXPECT_EQ(target, copy);
  EXPECT_EQ(folder, temp.path().substr(0, temp.path().size() - 1));
}

// Another process may put a link where the copy goes: the copy never writes through it.
TEST_F(ResumeShortcut, LinkAtTheCopysNameIsNeverWrittenThrough) {
  TempDir temp;
  TempDir outside;
  ASSERT_TRUE(qrxtest::WriteFileBytes(outside.Join(L"canary.txt"), "alive"));
  ASSERT_TRUE(qrxtest::MakeUnixLink(temp.path() + FileName(SelfPath()), outside.path()));
  ScopedEnv tmp(L"TMP", temp.path());
  ScopedEnv tempVariable(L"TEMP", temp.path());
  std::wstring copy;
  EXPECT_FALSE(qrx::CopySelfToTemp(copy));
  EXPECT_EQ(qrxtest::ReadFileBytes(outside.Join(L"canary.txt")), "alive");
  EXPECT_FALSE(qrxtest::FileExists(outside.Join(FileName(SelfPath()))));
}

// An older copy, or anything planted at its name, is replaced by a new file of our own.
TEST_F(ResumeShortcut, OlderCopyIsReplaced) {
  TempDir temp;
  ScopedEnv tmp(L"TMP", temp.path());
  ScopedEnv tempVariable(L"TEMP", temp.path());
  ASSERT_TRUE(qrxtest::WriteFileBytes(temp.path() + FileName(SelfPath()), "planted"));
  std::wstring copy;
  ASSERT_TRUE(qrx::CopySelfToTemp(copy));
  EXPECT_EQ(qrxtest::ReadFileBytes(copy), qrxtest::ReadFileBytes(SelfPath()));
}

TEST_F(ResumeShortcut, NoShortcutWithoutAPath) {
  TempDir temp;
  qrx::CreateResumeShortcut(temp.Join(L"copy.exe"), L"");
  EXPECT_TRUE(qrxtest::FolderIsEmpty(temp.path()));
}

// Run as a child from the copy: the copy is already in place and is not copied onto itself.
TEST(ResumeShortcutChild, RunFromTheCopy) {
  const std::wstring expected = GetEnv(L"QRX_CHILD_EXPECT_COPY");
  if (expected.empty()) GTEST_SKIP() << "runs only as a child";
  ASSERT_EQ(SelfPath(), expected);
  std::wstring copy;
  EXPECT_TRUE(qrx::CopySelfToTemp(copy));
  EXPECT_EQ(copy, expected);
}

TEST_F(ResumeShortcut, RunFromTheCopyDoesNotCopyOntoItself) {
  TempDir temp;
  std::wstring copy;
  {
    ScopedEnv tmp(L"TMP", temp.path());
    ScopedEnv tempVariable(L"TEMP", temp.path());
    ASSERT_TRUE(qrx::CopySelfToTemp(copy));
  }
  // Mark the copy's time so that any rewrite shows.
  FILETIME marked = {0x12345678, 0x01d00000};
  {
    HANDLE file = CreateFileW(copy.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &marked));
    CloseHandle(file);
  }
  const auto result = qrxtest::RunProcess(
      L"\"" + copy + L"\" --gtest_filter=ResumeShortcutChild.RunFromTheCopy",
      {{L"TMP", temp.path()}, {L"TEMP", temp.path()}, {L"QRX_CHILD_EXPECT_COPY", copy}}, 60000);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0u);
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  ASSERT_TRUE(GetFileAttributesExW(copy.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, marked.dwLowDateTime);
  EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, marked.dwHighDateTime);
}

}  // namespace
