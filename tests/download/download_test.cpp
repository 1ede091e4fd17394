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

using dltest::DownloadTest;
using dltest::DownloadThread;

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

TEST_F(DownloadTest, DroppedConnectionIsRetriedFromByteZeroWithoutAValidator) {
  // The first request gets 5000 of 100000 bytes and a closed connection; the binding reports a
  // successful stop, which is a short transfer: transient. This server sends no validator, so the
  // next attempt cannot ask for the rest and starts again from byte 0.
  const std::string path = "/drop/1/5000/100000/" + UniqueTag() + "/package.bin";
  EXPECT_EQ(Download(ServerUrl(path)), 0);
  EXPECT_EQ(ReadFileBytes(downloads_.Join(L"package.bin")), ExpectedBody(100000));
  EXPECT_EQ(RequestCount(path), 2);
  EXPECT_EQ(MappedResults(), (std::vector<std::string>{"1", "0"}));
  EXPECT_EQ(LogLines("Download restarts"), std::vector<std::string>{"Download restarts from byte 0: no validator"});
  EXPECT_EQ(owner_.Property(L"downloadTotal"), L"100000");
  EXPECT_EQ(owner_.Property(L"downloadCurrent"), L"100000");
}

TEST_F(DownloadTest, NotFoundGivesCodeTwoWithoutRetryOrErrorPage) {
  const std::string path = "/missing/" + UniqueTag() + "/setup.zip";
  EXPECT_EQ(Download(ServerUrl(path)), 2);
  EXPECT_EQ(MappedResults(), std::vector<std::string>{"800c0005"});
  EXPECT_EQ(RequestCount(path), 1);
  EXPECT_EQ(ReadFileBytes(downloads_.Join(L"setup.zip")), "");  // the error page is not the package
  EXPECT_EQ(owner_.Property(L"downloadTotal"), L"1");
  EXPECT_EQ(owner_.Property(L"downloadCurrent"), L"0");
}

TEST_F(DownloadTest, RefusedConnectionsGiveTenAttemptsThenCodeFour) {
  const std::string port = dltest::ServerGet("/_control/closedport");
  ASSERT_FALSE(port.empty());
  const std::wstring url = L"http://127.0.0.1:" + std::wstring(port.begin(), port.end()) + L"/pkg/setup.zip";
  EXPECT_EQ(Download(url), 4);
  EXPECT_EQ(MappedResults(), std::vector<std::string>(10, "800c0008"));
  EXPECT_EQ(owner_.path(), downloads_.Join(L"setup.zip"));
  // The waits double from the test build's first wait up to thirty times it.
  EXPECT_EQ(LogLines("Download waits "),
            (std::vector<std::string>{"Download waits 100 ms before attempt 2", "Download waits 200 ms before attempt 3",
                                      "Download waits 400 ms before attempt 4", "Download waits 800 ms before attempt 5",
                                      "Download waits 1600 ms before attempt 6", "Download waits 3000 ms before attempt 7",
                                      "Download waits 3000 ms before attempt 8", "Download waits 3000 ms before attempt 9",
                                      "Download waits 3000 ms before attempt 10"}));
  EXPECT_EQ(LogLines("Download gives up"), std::vector<std::string>{"Download gives up: 10 attempts in a row without data"});
  EXPECT_EQ(LogLines("Download attempt 10 ended"),
            std::vector<std::string>{"Download attempt 10 ended: failed, HRESULT 800c0008, 0 bytes received"});
}

TEST_F(DownloadTest, ResetBeforeAnyResponseIsRetriedTenTimes) {
  const std::string path = "/resetthen/0/0/1000/" + UniqueTag() + "/setup.zip";
  EXPECT_EQ(Download(ServerUrl(path)), 4);
  EXPECT_EQ(MappedResults(), std::vector<std::string>(10, "800c0008"));
  EXPECT_EQ(RequestCount(path), 10);
}

TEST_F(DownloadTest, UnresolvableHostNameIsADownloadFailureAndRetried) {
  // The test's network namespace has no name server. Wine's urlmon reports the failed lookup as
  // INET_E_DOWNLOAD_FAILURE, not as the SDK's INET_E_RESOURCE_NOT_FOUND: transient, so retried.
  EXPECT_EQ(Download(L"http://qrx-no-such-host.invalid/setup.zip"), 4);
  EXPECT_EQ(MappedResults(), std::vector<std::string>(10, "800c0008"));
}

TEST_F(DownloadTest, CountersAreVisibleToAnotherThreadWhileTheDownloadRuns) {
  const std::string gate = UniqueTag();
  const std::string path = "/gate/" + gate + "/100000/300000/setup.zip";
  DownloadThread thread(owner_, ServerUrl(path));
  // The page's view: poll the counters from this thread until the first data shows.
  const DWORD start = GetTickCount();
  std::wstring current = L"0";
  while (current == L"0" && GetTickCount() - start < 20000 && thread.running()) {
    current = owner_.Property(L"downloadCurrent");
    if (current == L"0") WaitForSingleObject(GetCurrentThread(), 10);
  }
  EXPECT_TRUE(thread.running()) << "the download ended before the gate opened";
  EXPECT_EQ(owner_.Property(L"downloadTotal"), L"300000");
  const long seen = _wtol(current.c_str());
  EXPECT_GT(seen, 0);
  EXPECT_LE(seen, 100000);
  EXPECT_EQ(dltest::ServerGet("/_control/open/" + gate), "ok");
  ASSERT_TRUE(thread.Wait(30000));
  EXPECT_EQ(thread.code(), 0);
  EXPECT_EQ(owner_.Property(L"downloadCurrent"), L"300000");
  EXPECT_EQ(ReadFileBytes(downloads_.Join(L"setup.zip")), ExpectedBody(300000));
}

TEST_F(DownloadTest, QuitMessageEndsTheWaitWithCodeOneAndIsPostedAgain) {
  const std::string gate = UniqueTag();
  const std::string path = "/gate/" + gate + "/100000/300000/setup.zip";
  {
    DownloadThread thread(owner_, ServerUrl(path));
    const DWORD start = GetTickCount();
    while (owner_.Property(L"downloadCurrent") == L"0" && GetTickCount() - start < 20000 && thread.running()) {
      WaitForSingleObject(GetCurrentThread(), 10);
    }
    ASSERT_TRUE(thread.running());
    ASSERT_NE(owner_.Property(L"downloadCurrent"), L"0");
    ASSERT_TRUE(PostThreadMessageW(thread.id(), WM_QUIT, 7, 0));
    ASSERT_TRUE(thread.Wait(20000));
    EXPECT_EQ(thread.code(), 1);
    EXPECT_TRUE(thread.quitReposted());
    dltest::ServerGet("/_control/open/" + gate);
  }
  EXPECT_EQ(MappedResults(), std::vector<std::string>{"8000000a"});
  // Cut at the last byte written, not left at the announced size.
  const std::string bytes = ReadFileBytes(downloads_.Join(L"setup.zip"));
  EXPECT_LT(bytes.size(), 300000u);
  EXPECT_EQ(bytes, ExpectedBody(bytes.size()));
}

// Whether `message` is a whole message of the log (after its prefix, up to the line end).
bool HasLine(const std::string& log, const std::string& message) {
  for (size_t at = log.find("] " + message); at != std::string::npos; at = log.find("] " + message, at + 1)) {
    const size_t end = at + 2 + message.size();
    if (end == log.size() || log[end] == '\r' || log[end] == '\n') return true;
  }
  return false;
}

// The fixture's own digest of a body of `size` bytes, as a "#sha256=" fragment.
std::wstring HashFragment(size_t size, bool flipped = false) {
  const std::string hex = dltest::ServerGet("/_control/sha256/" + std::to_string(size) + (flipped ? "/flip" : ""));
  return L"#sha256=" + std::wstring(hex.begin(), hex.end());
}

TEST_F(DownloadTest, MatchingHashIsCheckedAndTheFragmentStaysOutOfThePathTheFileAndTheLog) {
  const std::string path = "/len/300000/" + UniqueTag() + "/setup.zip";
  const std::wstring fragment = HashFragment(300000);
  ASSERT_EQ(fragment.size(), 8u + 64u);
  EXPECT_EQ(Download(ServerUrl(path) + fragment), 0);
  EXPECT_EQ(owner_.path(), downloads_.Join(L"setup.zip"));
  EXPECT_EQ(ReadFileBytes(downloads_.Join(L"setup.zip")), ExpectedBody(300000));
  // The server counts requests by the path it received: a fragment escaped into the path would
  // miss the plain one. No log line carries the digest.
  EXPECT_EQ(RequestCount(path), 1);
  EXPECT_EQ(Log().find(std::string(fragment.begin() + 8, fragment.end())), std::string::npos) << Log();
  EXPECT_EQ(MappedResults(), std::vector<std::string>{"0"});
}

TEST_F(DownloadTest, HashInUpperCaseDigitsMatchesToo) {
  const std::string path = "/nolen/70000/" + UniqueTag() + "/setup.zip";
  std::wstring fragment = HashFragment(70000);
  for (wchar_t& c : fragment) c = (c >= L'a' && c <= L'f') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  fragment.replace(0, 8, L"#sha256=");
  EXPECT_EQ(Download(ServerUrl(path) + fragment), 0);
}

TEST_F(DownloadTest, HashMismatchDeletesTheFileAndGivesCodeOne) {
  const std::string path = "/len/300000/" + UniqueTag() + "/setup.zip";
  const std::wstring fragment = HashFragment(300000, true);
  EXPECT_EQ(Download(ServerUrl(path) + fragment), 1);
  EXPECT_FALSE(qrxtest::FileExists(downloads_.Join(L"setup.zip")));
  EXPECT_TRUE(qrxtest::FolderIsEmpty(downloads_.path()));
  EXPECT_EQ(RequestCount(path), 1);
  // Logged as a failed transfer (CRYPT_E_HASH_VALUE), plus the line that names both digests.
  EXPECT_EQ(MappedResults(), std::vector<std::string>{"80091007"});
  const std::string expected(fragment.begin() + 8, fragment.end());
  const std::string received = dltest::ServerGet("/_control/sha256/300000");
  EXPECT_TRUE(HasLine(Log(), "Package hash mismatch, expected sha256 " + expected + ", received " + received));
}

TEST_F(DownloadTest, MalformedFragmentsGiveCodeOneBeforeAnyRequest) {
  const std::wstring good = HashFragment(1000).substr(8);
  const std::wstring cases[] = {
      L"#sha256=" + good.substr(1),                   // 63 digits
      L"#sha256=" + good + L"0",                      // 65 digits
      L"#sha256=" + good.substr(1) + L"g",            // not hex
      L"#sha256=" + good.substr(2) + L"  ",           // blanks
      L"#md5=" + good.substr(0, 32),                  // unknown algorithm
      L"#sha512=" + good + good,                      // unknown algorithm
      L"#SHA256=" + good,                             // names are lower case
      L"#sha256:" + good,                             // wrong separator
      L"#" + good,                                    // no algorithm
      L"#",                                           // empty
      L"#sha256=" + good + L"#sha256=" + good,        // two fragments
  };
  for (const std::wstring& fragment : cases) {
    const std::string path = "/len/1000/" + UniqueTag() + "/setup.zip";
    const std::wstring url = ServerUrl(path) + fragment;
    EXPECT_EQ(Download(url), 1);
    EXPECT_EQ(RequestCount(path), 0);
    EXPECT_TRUE(qrxtest::FolderIsEmpty(downloads_.path()));
    EXPECT_EQ(owner_.path(), L"");
    const std::string narrow(url.begin(), url.end());
    EXPECT_TRUE(HasLine(Log(), "Download refused, malformed package hash: " + narrow));
  }
  EXPECT_TRUE(MappedResults().empty());
}

TEST_F(DownloadTest, OnlyHttpAndHttpsAreFetched) {
  const std::string path = "/len/1000/" + UniqueTag() + "/win.ini";
  const std::string port = std::to_string(dltest::ServerPort());
  const std::wstring wport(port.begin(), port.end());
  const std::wstring cases[] = {
      L"file:///C:/windows/win.ini",
      L"\\\\host\\share\\p.zip",
      L"\\\\127.0.0.1\\c$\\windows\\win.ini",
      L"javascript:alert(document.cookie)//win.ini",
      L"ftp://127.0.0.1:" + wport + L"/len/1000/win.ini",
      L"res://shell32.dll/win.ini",
      L"C:\\windows\\win.ini",
      L"httpx://127.0.0.1:" + wport + L"/len/1000/win.ini",
      L" http://127.0.0.1:" + wport + L"/len/1000/win.ini",
  };
  for (const std::wstring& url : cases) {
    EXPECT_EQ(Download(url), 1);
    EXPECT_TRUE(qrxtest::FolderIsEmpty(downloads_.path()));
    EXPECT_EQ(owner_.path(), L"");
    const std::string narrow(url.begin(), url.end());
    EXPECT_TRUE(HasLine(Log(), "Download refused, only http and https URLs are allowed: " + narrow));
  }
  EXPECT_EQ(RequestCount("/len/1000/win.ini"), 0);
  EXPECT_TRUE(MappedResults().empty());
  // Either case of the scheme is a web URL.
  EXPECT_EQ(Download(L"HTTP://127.0.0.1:" + wport + std::wstring(path.begin(), path.end())), 0);
  EXPECT_EQ(RequestCount(path), 1);
}

}  // namespace

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST_F(DownloadTest, RedirectsToOtherSchemesAreRefusedAndLoggedWithoutTheFragment) {
  const std::string hash = "#sha256=" + std::string(64, 'a');
  const std::string targets[] = {"file:///C:/windows/win.ini", "ftp://127.0.0.1:1/p.zip"};
  for (const std::string& target : targets) {
    const std::string path = "/to/" + target;
    const std::wstring url = ServerUrl(path);
    EXPECT_EQ(Download(url + std::wstring(hash.begin(), hash.end())), 1) << target;
    EXPECT_TRUE(HasLine(Log(), "Download refused, redirect from " + Narrow(url) + " to " + target)) << Log();
  }
  // One attempt each: a refused redirect is not retried.
  EXPECT_EQ(MappedResults(), (std::vector<std::string>{"800c0014", "800c0014"}));
  EXPECT_EQ(Log().find("#sha256="), std::string::npos);
}

TEST_F(DownloadTest, RedirectToHttpIsFollowed) {
  const std::string target = "/len/3000/" + UniqueTag() + "/moved.zip";
  const std::wstring url = ServerUrl("/to/http://127.0.0.1:" + std::to_string(dltest::ServerPort()) + target);
  EXPECT_EQ(Download(url), 0);
  EXPECT_EQ(RequestCount(target), 1);
  EXPECT_EQ(ReadFileBytes(owner_.path()), ExpectedBody(3000));
  EXPECT_EQ(Log().find("Download refused"), std::string::npos);
}

TEST_F(DownloadTest, PlainHttpWithoutHashIsLoggedAsAWarning) {
  const std::string path = "/len/100/" + UniqueTag() + "/plain.zip";
  EXPECT_EQ(Download(ServerUrl(path)), 0);
  EXPECT_TRUE(HasLine(Log(), "package fetched without transport security or hash: " + Narrow(ServerUrl(path))));
  EXPECT_NE(Log().find("WARNING] package fetched without transport security or hash: "), std::string::npos);
  // With a hash the package is vouched for: no warning.
  const std::string hashed = "/len/100/" + UniqueTag() + "/hashed.zip";
  const std::string digest = dltest::ServerGet("/_control/sha256/100");
  ASSERT_EQ(digest.size(), 64u);
  EXPECT_EQ(Download(ServerUrl(hashed) + L"#sha256=" + std::wstring(digest.begin(), digest.end())), 0);
  EXPECT_EQ(Log().find("hash: " + Narrow(ServerUrl(hashed))), std::string::npos);
}

}  // namespace
