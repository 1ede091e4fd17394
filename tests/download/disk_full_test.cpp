// A full download volume: a small tmpfs that the test runner mounts (see tests.cmake).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/unique_any.h"
#include "download/download_file.h"
#include "download/fixture.h"
#include "download/resume_plan.h"
#include "log/logger.h"
#include "support/test_support.h"
#include "sysinfo/temp_folder.h"

namespace {

using qrxtest::ReadFileBytes;

DWORD WINAPI RunDownload(void* context);

struct Job {
  dltest::TestOwner* owner;
  std::wstring url;
  downloadmanagercore::ResumeState* resume;
  int code = -1;
};

DWORD WINAPI RunDownload(void* context) {
  auto* job = static_cast<Job*>(context);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  downloadmanagercore::ResumeState fresh;
  job->code = downloadmanagercore::DownloadFile(*job->owner, job->url, job->resume ? *job->resume : fresh);
  CoUninitialize();
  return 0;
}

class DiskFull : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dltest::ServerPort(), 0);
    std::wstring volume = qrxtest::GetEnv(L"QRX_DL_SMALL_VOLUME");
    if (volume.empty()) GTEST_SKIP() << "no small volume mounted (run through ctest as root)";
    ULARGE_INTEGER total = {};
    if (!GetDiskFreeSpaceExW((volume + L"\\").c_str(), nullptr, &total, nullptr) || total.QuadPart > 4u << 20) {
      GTEST_SKIP() << "the small volume is not mounted (mounting a tmpfs needs root)";
    }
    folder_ = volume + L"\\dl-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    owner_.reset(new dltest::TestOwner(folder_, &logger_));
  }
  void TearDown() override {
    owner_.reset();
    if (!folder_.empty()) qrx::DeleteFolderTree(folder_);
  }

  int Download(const std::wstring& url, downloadmanagercore::ResumeState* resume = nullptr) {
    Job job{owner_.get(), url, resume};
    HANDLE thread = CreateThread(nullptr, 0, RunDownload, &job, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
    CloseHandle(thread);
    return job.code;
  }

  std::string LastMapped() {
    const std::string log = ReadFileBytes(logger_.path());
    const std::string marker = "TransferDownloadError HRESULT: ";
    const size_t at = log.rfind(marker);
    if (at == std::string::npos) return std::string();
    return log.substr(at + marker.size(), log.find_first_of("\r\n", at) - at - marker.size());
  }

  qrxtest::TempDir logRoot_;
  qrxtest::ScopedEnv tmp_{L"TMP", logRoot_.path()};
  qrx::Logger logger_;
  std::wstring folder_;
  std::unique_ptr<dltest::TestOwner> owner_;
};

TEST_F(DiskFull, WriteFailureGivesCodeThreeAndKeepsTheWrittenBytes) {
  const std::string path = "/len/2000000/" + dltest::UniqueTag() + "/setup.zip";
  EXPECT_EQ(Download(dltest::ServerUrl(path)), 3);
  EXPECT_EQ(LastMapped(), "80070070");
  EXPECT_EQ(dltest::RequestCount(path), 1);
  const std::string bytes = ReadFileBytes(folder_ + L"setup.zip");
  EXPECT_GT(bytes.size(), 0u);
  EXPECT_LT(bytes.size(), 600000u);
  EXPECT_EQ(bytes, dltest::ExpectedBody(bytes.size()));  // cut at the last byte written
}

// After space is freed, the next call for the same URL goes on from the bytes the full volume
// took, and the package's hash, taken over both calls, still matches: it holds exactly the bytes
// written, also when the last write stored only part of a piece.
TEST_F(DiskFull, ARetryAfterFreeingSpaceResumesWithTheHashIntact) {
  {
    qrx::UniqueFile filler(CreateFileW((folder_ + L"filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(filler.valid());
    const std::vector<char> block(300001, 'x');
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(filler.get(), block.data(), 300001, &written, nullptr));
  }
  const std::string path = "/fault/400000/ok/" + dltest::UniqueTag() + "/package.bin";
  const std::string hex = dltest::ServerGet("/_control/sha256/400000");
  const std::wstring url = dltest::ServerUrl(path) + L"#sha256=" + std::wstring(hex.begin(), hex.end());
  downloadmanagercore::ResumeState resume;
  EXPECT_EQ(Download(url, &resume), 3);
  const ULONGLONG kept = resume.kept;
  EXPECT_GT(kept, 0u);
  EXPECT_LT(kept, 400000u);
  printf("measure: the full volume took %llu bytes (%llu of the last read)\n", kept, kept % 8192);
  ASSERT_TRUE(DeleteFileW((folder_ + L"filler").c_str()));
  EXPECT_EQ(Download(url, &resume), 0);
  EXPECT_TRUE(ReadFileBytes(folder_ + L"package.bin") == dltest::ExpectedBody(400000)) << "the whole package";
  const dltest::FaultStats stats = dltest::FaultStatsOf(path);
  ASSERT_EQ(stats.requests.size(), 2u);
  EXPECT_EQ(stats.requests[1].rangeStart, static_cast<long long>(kept));
  EXPECT_EQ(stats.requests[1].status, "206");
}

TEST_F(DiskFull, DownloadFailureOnAVolumeWithNoFreeBytesGivesCodeThree) {
  // Fill the volume to the last byte.
  {
    qrx::UniqueFile filler(CreateFileW((folder_ + L"filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(filler.valid());
    std::vector<char> block(4096, 'x');
    DWORD written = 0;
    while (WriteFile(filler.get(), block.data(), 4096, &written, nullptr) && written == 4096) {
    }
    while (WriteFile(filler.get(), block.data(), 1, &written, nullptr) && written == 1) {
    }
  }
  ULARGE_INTEGER free = {};
  ASSERT_TRUE(GetDiskFreeSpaceExW(folder_.c_str(), nullptr, nullptr, &free));
  ASSERT_EQ(free.QuadPart, 0u);
  const std::string port = dltest::ServerGet("/_control/closedport");
  const std::wstring url = L"http://127.0.0.1:" + std::wstring(port.begin(), port.end()) + L"/pkg/setup.zip";
  EXPECT_EQ(Download(url), 3);
  EXPECT_EQ(LastMapped(), "800c0008");
  const std::string log = ReadFileBytes(logger_.path());
  EXPECT_EQ(log.find("TransferDownloadError"), log.rfind("TransferDownloadError")) << "retried on a full volume";
}

}  // namespace
