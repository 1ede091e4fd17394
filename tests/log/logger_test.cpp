#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "log/logger.h"
#include "support/test_support.h"

namespace {

using qrxtest::ReadFileBytes;
using qrxtest::ScopedEnv;
using qrxtest::TempDir;

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms) {
  SYSTEMTIME t = {};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  t.wSecond = second;
  t.wMilliseconds = ms;
  return t;
}

TEST(LogFormat, TimestampPadsMillisecondsWithBlanks) {
  struct Case {
    SYSTEMTIME time;
    const char* expected;
  } cases[] = {
      {Time(2026, 12, 7, 9, 5, 3, 7), "20261207 09:05:03   7"},
      {Time(2026, 12, 7, 12, 10, 7, 45), "20261207 12:10:07  45"},
      {Time(2026, 1, 2, 23, 59, 59, 999), "20260102 23:59:59 999"},
      {Time(999, 1, 1, 0, 0, 0, 0), " 9990101 00:00:00   0"},
  };
  for (const Case& c : cases) EXPECT_EQ(qrx::FormatLogTimestamp(c.time), c.expected);
}

TEST(LogFormat, PrefixNamesTheLevel) {
  EXPECT_EQ(qrx::FormatLogPrefix("20261207 09:05:03   7", qrx::kLevelDebug), "[20261207 09:05:03   7 DEBUG] ");
  EXPECT_EQ(qrx::FormatLogPrefix("20261207 12:10:07  45", qrx::kLevelError), "[20261207 12:10:07  45 ERROR] ");
  EXPECT_STREQ(qrx::kLevelNames[0], "");
  EXPECT_STREQ(qrx::kLevelNames[1], "TRACE");
  EXPECT_STREQ(qrx::kLevelNames[3], "WARNING");
}

class LoggerTest : public ::testing::Test {
 protected:
  TempDir temp_;
  ScopedEnv tmp_{L"TMP", temp_.path()};
};

const char kPrefixPattern[] = "\\[\\d{8} \\d{2}:\\d{2}:\\d{2} [ \\d]{2}\\d ";

TEST_F(LoggerTest, WritesLinesWithCrLfInItsOwnFolder) {
  std::string content;
  {
    qrx::Logger logger;
    ASSERT_TRUE(logger.isOpen());
    // Below the working parent, where the error report reads it back; nothing in TEMP.
    const std::wstring parent = qrxtest::WorkingParent();
    ASSERT_FALSE(parent.empty());
    EXPECT_EQ(logger.folder().compare(0, parent.size(), parent), 0);
    EXPECT_TRUE(qrxtest::FolderIsEmpty(temp_.path()));
    EXPECT_EQ(logger.folder().back(), L'\\');
    EXPECT_EQ(logger.path(), logger.folder() + L"installer_log.txt");
    qrx::LogDebug(&logger, L"ZSClose");
    qrx::LogError(&logger, L"ZSDownload: %s %d %x", L"http://x/setup.zip", -5, 0x80070070u);
    qrx::LogDebugA(&logger, "narrow %s", "text");
    qrx::LogWarning(&logger, L"plain %s", L"http");
    qrx::LogDebug(&logger, L"Property %s: %s\n", L"osbits", L"64");
    content = ReadFileBytes(logger.path());
  }
  const std::string p = kPrefixPattern;
  const std::regex expected(p + "DEBUG\\] ZSClose\r\n" + p + "ERROR\\] ZSDownload: http://x/setup.zip -5 80070070\r\n" +
                            p + "DEBUG\\] narrow text\r\n" + p + "WARNING\\] plain http\r\n" + p +
                            "DEBUG\\] Property osbits: 64\r\n\r\n");
  EXPECT_TRUE(std::regex_match(content, expected)) << content;
  // Closing the logger removes its folder.
  EXPECT_TRUE(qrxtest::FolderIsEmpty(temp_.path()));
}

// Narrow lines around the sizes the formatting buffer grows through (256 bytes, doubling).
TEST_F(LoggerTest, LongNarrowLinesAreWrittenWhole) {
  const size_t lengths[] = {254, 255, 256, 257, 511, 512, 5000, 70000};
  qrx::Logger logger;
  for (size_t length : lengths) qrx::LogDebugA(&logger, "%s|%d", std::string(length - 2, 'n').c_str(), 7);
  const std::string content = ReadFileBytes(logger.path());
  size_t at = 0;
  for (size_t length : lengths) {
    const std::string line = "DEBUG] " + std::string(length - 2, 'n') + "|7\r\n";
    at = content.find(line, at);
    ASSERT_NE(at, std::string::npos) << length;
    at += line.size();
  }
  EXPECT_EQ(at, content.size());
}

TEST_F(LoggerTest, WideTextIsWrittenInTheAnsiCodePage) {
  qrx::Logger logger;
  qrx::LogDebug(&logger, L"caf\u00e9");
  const std::string content = ReadFileBytes(logger.path());
  char expected[8] = {};
  WideCharToMultiByte(CP_ACP, 0, L"caf\u00e9", -1, expected, sizeof(expected), nullptr, nullptr);
  EXPECT_NE(content.find(std::string("] ") + expected + "\r\n"), std::string::npos);
}

TEST_F(LoggerTest, EarlyCloseKeepsThePathAndDropsLaterLines) {
  qrx::Logger logger;
  qrx::LogDebug(&logger, L"before");
  logger.CloseFile();
  EXPECT_FALSE(logger.isOpen());
  qrx::LogDebug(&logger, L"after");
  qrx::LogError(&logger, L"after");
  qrx::LogDebugA(&logger, "after");
  const std::string content = ReadFileBytes(logger.path());
  EXPECT_NE(content.find("before"), std::string::npos);
  EXPECT_EQ(content.find("after"), std::string::npos);
  logger.CloseFile();  // a second close is harmless
}

TEST_F(LoggerTest, TwoLoggersUseTwoFolders) {
  qrx::Logger first;
  qrx::Logger second;
  EXPECT_NE(first.folder(), second.folder());
  EXPECT_TRUE(first.isOpen());
  EXPECT_TRUE(second.isOpen());
}

TEST_F(LoggerTest, ThreadsNeverInterleaveLines) {
  constexpr int kThreads = 8;
  constexpr int kLines = 1000;
  std::string content;
  {
    qrx::Logger logger;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&logger, t] {
        for (int i = 0; i < kLines; ++i) qrx::LogDebug(&logger, L"thread %d line %d of a longer message", t, i);
      });
    }
    for (auto& thread : threads) thread.join();
    content = ReadFileBytes(logger.path());
  }
  const std::regex line(std::string(kPrefixPattern) + "DEBUG\\] thread (\\d) line (\\d+) of a longer message");
  std::vector<int> next(kThreads, 0);
  size_t start = 0;
  int count = 0;
  while (start < content.size()) {
    const size_t end = content.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    std::smatch match;
    const std::string text = content.substr(start, end - start);
    ASSERT_TRUE(std::regex_match(text, match, line)) << text;
    const int thread = std::stoi(match[1]);
    // Each thread's lines appear whole and in its own order.
    EXPECT_EQ(std::stoi(match[2]), next[thread]++);
    ++count;
    start = end + 2;
  }
  EXPECT_EQ(count, kThreads * kLines);
}

// TEMP has no say in where the log goes: over-long temp paths, with or without room for a
// subfolder, change nothing, and the temp folder with everything in it stays as it was.
TEST(LoggerWithoutTemp, TempPathsOfAnyLengthLeaveTheLogBelowTheWorkingParent) {
  TempDir temp;
  const std::wstring parent = qrxtest::WorkingParent();
  ASSERT_FALSE(parent.empty());
  for (size_t length : {252u, 254u, 258u, 259u}) {
    std::wstring longTemp = temp.path();
    longTemp.append(length - 1 - longTemp.size(), L'c');
    longTemp += L'\\';
    ASSERT_EQ(longTemp.size(), length);
    ASSERT_TRUE(CreateDirectoryW(longTemp.c_str(), nullptr) || length == 259u);
    const std::wstring canary = longTemp + L"o";
    if (length < 259u) {
      ASSERT_TRUE(qrxtest::WriteFileBytes(canary, "another program's file"));
    }
    ScopedEnv tmp(L"TMP", longTemp);
    std::wstring folder;
    {
      qrx::Logger logger;
      EXPECT_TRUE(logger.isOpen()) << length;
      folder = logger.folder();
      EXPECT_EQ(folder.compare(0, parent.size(), parent), 0) << length;
      qrx::LogDebug(&logger, L"written");
    }
    EXPECT_FALSE(qrxtest::FileExists(folder)) << length;
    if (length < 259u) {
      EXPECT_EQ(qrxtest::ReadFileBytes(canary), "another program's file") << length;
    }
  }
  qrx::LogDebug(nullptr, L"a null logger writes nothing");
}

}  // namespace
