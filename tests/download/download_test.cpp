// Whole downloads from the fixture server on loopback, through the platform's URL moniker service.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "download/download_file.h"
#include "download/fixture.h"
#include "log/logger.h"
#include "support/test_support.h"

namespace {

using dltest::ExpectedBody;
using dltest::RequestCount;
using dltest::ServerUrl;
using dltest::TestOwner;
using dltest::UniqueTag;
using qrxtest::ReadFileBytes;

// A download on a thread of its own in the multithreaded apartment, as the worker runs it.
class DownloadThread {
 public:
  DownloadThread(TestOwner& owner, std::wstring url) : owner_(owner), url_(std::move(url)) {
    thread_ = CreateThread(nullptr, 0, &DownloadThread::Run, this, 0, &threadId_);
  }
  ~DownloadThread() {
    if (thread_) {
      WaitForSingleObject(thread_, 60000);
      CloseHandle(thread_);
    }
  }
  DownloadThread(const DownloadThread&) = delete;
  DownloadThread& operator=(const DownloadThread&) = delete;

  bool Wait(DWORD ms) { return WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0; }
  bool running() { return WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT; }
  DWORD id() const { return threadId_; }
  int code() const { return code_; }
  bool quitReposted() const { return quitReposted_; }

 private:
  static DWORD WINAPI Run(void* context) {
    auto* self = static_cast<DownloadThread*>(context);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    self->code_ = downloadmanagercore::DownloadFile(self->owner_, self->url_);
    MSG message;
    self->quitReposted_ = PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    CoUninitialize();
    return 0;
  }

  TestOwner& owner_;
  std::wstring url_;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  int code_ = -1;
  bool quitReposted_ = false;
};

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(dltest::ServerPort(), 0) << "the fixture server did not start"; }

  int Download(const std::wstring& url, DWORD timeoutMs = 60000) {
    DownloadThread thread(owner_, url);
    EXPECT_TRUE(thread.Wait(timeoutMs)) << "download did not end in time";
    return thread.code();
  }

  std::string Log() { return ReadFileBytes(logger_.path()); }
  std::vector<std::string> MappedResults() {
    std::vector<std::string> results;
    const std::string log = Log();
    const std::string marker = "TransferDownloadError HRESULT: ";
    for (size_t at = log.find(marker); at != std::string::npos; at = log.find(marker, at + 1)) {
      const size_t end = log.find_first_of("\r\n", at);
      results.push_back(log.substr(at + marker.size(), end - at - marker.size()));
    }
    return results;
  }

  qrxtest::TempDir logRoot_;
  qrxtest::ScopedEnv tmp_{L"TMP", logRoot_.path()};
  qrx::Logger logger_;
  qrxtest::TempDir downloads_;
  TestOwner owner_{downloads_.path(), &logger_};
};

TEST_F(DownloadTest, WholeFileWithLengthLandsUnderItsName) {
  const std::string path = "/len/300000/" + UniqueTag() + "/setup.zip";
  EXPECT_EQ(Download(ServerUrl(path)), 0);
  EXPECT_EQ(owner_.path(), downloads_.Join(L"setup.zip"));
  EXPECT_EQ(ReadFileBytes(downloads_.Join(L"setup.zip")), ExpectedBody(300000));
  EXPECT_EQ(owner_.Property(L"downloadTotal"), L"300000");
  EXPECT_EQ(owner_.Property(L"downloadCurrent"), L"300000");
  EXPECT_EQ(RequestCount(path), 1);
  EXPECT_EQ(MappedResults(), std::vector<std::string>{"0"});
}

TEST_F(DownloadTest, SecondDownloadTruncatesAndRewrites) {
  ASSERT_EQ(Download(ServerUrl("/len/300000/" + UniqueTag() + "/setup.zip")), 0);
  ASSERT_EQ(Download(ServerUrl("/len/1000/" + UniqueTag() + "/setup.zip")), 0);
  EXPECT_EQ(ReadFileBytes(downloads_.Join(L"setup.zip")), ExpectedBody(1000));
  EXPECT_EQ(owner_.Property(L"downloadTotal"), L"1000");
}

TEST_F(DownloadTest, NoAnnouncedLengthGivesTotalZero) {
  EXPECT_EQ(Download(ServerUrl("/nolen/100000/" + UniqueTag() + "/package.bin")), 0);
  EXPECT_EQ(ReadFileBytes(downloads_.Join(L"package.bin")), ExpectedBody(100000));
  EXPECT_EQ(owner_.Property(L"downloadTotal"), L"0");
  EXPECT_EQ(owner_.Property(L"downloadCurrent"), L"100000");
}

TEST_F(DownloadTest, EmptyBodyIsAnEmptyFile) {
  EXPECT_EQ(Download(ServerUrl("/len/0/" + UniqueTag() + "/empty.bin")), 0);
  EXPECT_TRUE(qrxtest::FileExists(downloads_.Join(L"empty.bin")));
  EXPECT_EQ(ReadFileBytes(downloads_.Join(L"empty.bin")), "");
}

TEST_F(DownloadTest, QueryStringInTheLastSegmentFailsAtFileCreation) {
  const std::string path = "/len/1000/" + UniqueTag() + "/setup.zip";
  EXPECT_EQ(Download(ServerUrl(path + "?lang=en")), 1);
  EXPECT_EQ(RequestCount(path), 0);
  EXPECT_TRUE(qrxtest::FolderIsEmpty(downloads_.path()));
  EXPECT_EQ(MappedResults().size(), 1u);
}

TEST_F(DownloadTest, NameThatLeavesTheFolderIsRefused) {
  const std::string path = "/len/1000/" + UniqueTag() + "/..";
  EXPECT_EQ(Download(ServerUrl(path)), 1);
  EXPECT_EQ(MappedResults(), std::vector<std::string>{"8007007b"});
  EXPECT_TRUE(qrxtest::FolderIsEmpty(downloads_.path()));
}

TEST_F(DownloadTest, Measure) {
  const char* paths[] = {"/reset/1/5000/100000/", "/resetthen/1/5000/100000/", "/reset/1/0/100000/", "/resetthen/0/0/100000/"};
  for (const char* p : paths) {
    TestOwner owner(downloads_.path(), &logger_);
    std::string path = p + UniqueTag() + "/x.bin";
    DownloadThread thread(owner, ServerUrl(path));
    EXPECT_TRUE(thread.Wait(60000));
    printf("%s -> code %d requests %d size %zu total %ls current %ls\n", p, thread.code(), RequestCount(path),
           ReadFileBytes(downloads_.Join(L"x.bin")).size(), owner.Property(L"downloadTotal").c_str(),
           owner.Property(L"downloadCurrent").c_str());
  }
  printf("%s\n", Log().c_str());
}

}  // namespace
