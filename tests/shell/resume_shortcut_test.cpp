#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/resume_shortcut.h"
#include "app/run_sequence.h"
#include "common/com_ptr.h"
#include "common/no_links.h"
#include "log/logger.h"
#include "support/test_support.h"

namespace {

using qrxtest::FileExists;
using qrxtest::GetEnv;
using qrxtest::ReadFileBytes;
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

// The access list the system reads back for a file, as SDDL.
std::wstring DaclText(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                            &descriptor) != ERROR_SUCCESS) {
    return L"<unreadable>";
  }
  LPWSTR text = nullptr;
  std::wstring result = L"<unconvertible>";
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                           nullptr)) {
    result = text;
    LocalFree(text);
  }
  LocalFree(descriptor);
  return result;
}

// Wine keeps mode bits, not descriptors (docs/wine-notes.md): a file made without a descriptor
// reads back with access for Everyone; the copy, made with its own, grants Everyone nothing.
TEST_F(ResumeShortcut, CopyIsCreatedWithItsOwnDescriptor) {
  TempDir temp;
  ScopedEnv tmp(L"TMP", temp.path());
  ScopedEnv tempVariable(L"TEMP", temp.path());
  std::wstring copy;
  ASSERT_TRUE(qrx::CopySelfToTemp(copy));
  const std::wstring plain = temp.Join(L"plain.bin");
  ASSERT_TRUE(qrxtest::WriteFileBytes(plain, "x"));
  ASSERT_NE(DaclText(plain).find(L";;;WD)"), std::wstring::npos) << qrxtest::Narrow(DaclText(plain));
  EXPECT_EQ(DaclText(copy).find(L";;;WD)"), std::wstring::npos) << qrxtest::Narrow(DaclText(copy));
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

// The resume copy and the desktop shortcut lie where the user writes. A hard link, a file link
// or a linked folder at their names is refused and logged, and what it points at stays as it was.
enum class Act { kCopy, kShortcut, kRemoveShortcut };
enum class Planted { kHardLink, kFileLink, kFolderLink };

const char* ActName(Act act) {
  return act == Act::kCopy ? "copy" : act == Act::kShortcut ? "shortcut" : "remove shortcut";
}

// The refusal line the act writes, for a name and the check's words.
std::string RefusalLine(Act act, const std::wstring& name, const wchar_t* what) {
  wchar_t line[1024];
  _snwprintf(line, 1024, act == Act::kCopy ? qrx::kLogResumeCopyRefused : qrx::kLogShortcutRefused, name.c_str(),
             what);
  line[1023] = L'\0';
  return qrxtest::Narrow(line);
}

class NoLinkActs : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override { CoUninitialize(); }

  // Runs the act with the user's folder (temp or desktop) at `folder`; true when it went ahead.
  bool Run(Act act, const std::wstring& folder, qrx::Logger* logger) {
    ScopedEnv tmp(L"TMP", folder);
    ScopedEnv tempVariable(L"TEMP", folder);
    std::wstring copy;
    switch (act) {
      case Act::kCopy:
        return qrx::CopySelfToTemp(copy, logger);
      case Act::kShortcut:
        return qrx::CreateResumeShortcut(L"C:\\copy.exe", folder + L"resume.lnk", logger);
      case Act::kRemoveShortcut:
        return qrx::DeleteResumeShortcut(folder + L"resume.lnk", logger);
    }
    return false;
  }
  static std::wstring NameIn(Act act, const std::wstring& folder) {
    return folder + (act == Act::kCopy ? FileName(SelfPath()) : std::wstring(L"resume.lnk"));
  }
};

TEST_F(NoLinkActs, PlantedLinksAreRefusedAndTheirTargetsKeepTheirContent) {
  for (Act act : {Act::kCopy, Act::kShortcut, Act::kRemoveShortcut}) {
    for (Planted planted : {Planted::kHardLink, Planted::kFileLink, Planted::kFolderLink}) {
      SCOPED_TRACE(std::string(ActName(act)) + " / " + std::to_string(static_cast<int>(planted)));
      TempDir user;
      TempDir outside;
      const std::wstring victim = outside.path() + (planted == Planted::kFolderLink ? NameIn(act, L"") : L"victim");
      ASSERT_TRUE(qrxtest::WriteFileBytes(victim, "victim"));
      std::wstring folder = user.path();
      const wchar_t* what = L"";
      std::unique_ptr<qrxtest::ScopedFakeLinks> fake;
      switch (planted) {
        case Planted::kHardLink:
          ASSERT_TRUE(CreateHardLinkW(NameIn(act, folder).c_str(), victim.c_str(), nullptr));
          what = qrx::LinkCheckText(qrx::LinkCheck::kHardLink);
          break;
        case Planted::kFileLink:
          // Wine shows a Unix link to a file as a plain file: the seam shows what Windows reports.
          ASSERT_TRUE(qrxtest::WriteFileBytes(NameIn(act, folder), "planted"));
          fake = std::make_unique<qrxtest::ScopedFakeLinks>(std::initializer_list<std::wstring>{NameIn(act, folder)});
          what = qrx::LinkCheckText(qrx::LinkCheck::kLink);
          break;
        case Planted::kFolderLink:
          // The user's folder itself is a link to another folder, for real.
          ASSERT_TRUE(qrxtest::MakeUnixLink(user.path() + L"linked", outside.path()));
          folder = user.path() + L"linked\\";
          what = qrx::LinkCheckText(qrx::LinkCheck::kLink);
          break;
      }
      std::string log;
      {
        qrx::Logger logger;
        EXPECT_FALSE(Run(act, folder, &logger));
        log = ReadFileBytes(logger.path());
      }
      fake.reset();
      EXPECT_EQ(ReadFileBytes(victim), "victim");
      EXPECT_NE(log.find(" ERROR] " + RefusalLine(act, NameIn(act, folder), what)), std::string::npos) << log;
      // Refused, not removed: the name stays for the user to see.
      EXPECT_TRUE(FileExists(NameIn(act, folder)));
    }
  }
}

TEST_F(NoLinkActs, PlainOlderFilesAreReplacedAndRemoved) {
  TempDir user;
  ASSERT_TRUE(qrxtest::WriteFileBytes(user.path() + L"resume.lnk", "older"));
  qrx::Logger logger;
  EXPECT_TRUE(Run(Act::kShortcut, user.path(), &logger));
  const std::string written = ReadFileBytes(user.path() + L"resume.lnk");
  ASSERT_GE(written.size(), 4u);
  // A shell link starts with its header size, 0x4C.
  EXPECT_EQ(written.substr(0, 4), std::string("\x4C\0\0\0", 4));
  EXPECT_TRUE(Run(Act::kRemoveShortcut, user.path(), &logger));
  EXPECT_FALSE(FileExists(user.path() + L"resume.lnk"));
  // Nothing there: nothing to remove, and no refusal.
  EXPECT_TRUE(Run(Act::kRemoveShortcut, user.path(), &logger));
  EXPECT_EQ(ReadFileBytes(logger.path()).find("ERROR]"), std::string::npos);
}

// What Wine's GetFinalPathNameByHandleW says for a file opened through a linked folder.
TEST(FinalPath, ThroughALinkedFolder) {
  TempDir user;
  TempDir outside;
  ASSERT_TRUE(qrxtest::WriteFileBytes(outside.path() + L"file.txt", "x"));
  ASSERT_TRUE(qrxtest::MakeUnixLink(user.path() + L"linked", outside.path()));
  const std::wstring throughLink = user.path() + L"linked\\file.txt";
  qrx::UniqueFile file(CreateFileW(throughLink.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  ASSERT_TRUE(file.valid());
  const std::wstring final = qrx::FinalPathOf(file.get());
  const bool showsTarget = _wcsicmp(final.c_str(), (outside.path() + L"file.txt").c_str()) == 0;
  std::printf("measure: GetFinalPathNameByHandleW through a linked folder gives %s (%s)\n",
              qrxtest::Narrow(final).c_str(), showsTarget ? "the target" : "the path opened");
  EXPECT_FALSE(final.empty());
  // Either way the check refuses it: the folder walk sees the link.
  qrx::UniqueFile checked;
  EXPECT_EQ(qrx::OpenLinkFreeFile(user.path(), throughLink, GENERIC_READ, FILE_SHARE_READ, checked),
            qrx::LinkCheck::kLink);
  EXPECT_FALSE(checked.valid());
}

}  // namespace
