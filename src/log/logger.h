// The run's log file, "installer_log.txt", in a fresh folder under the temp folder.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace qrx {

enum LogLevel { kLevelTrace = 1, kLevelError = 2, kLevelWarning = 3, kLevelDebug = 4 };

// Level names indexed by level; index 0 is empty.
extern const char* const kLevelNames[5];

// "%4d%02d%02d %02d:%02d:%02d %3d" of the given UTC time.
std::string FormatLogTimestamp(const SYSTEMTIME& utc);
// The timestamp of now.
std::string LogTimestamp();
// "[<timestamp> <level name>] ".
std::string FormatLogPrefix(const std::string& timestamp, int level);

class Logger {
 public:
  Logger();
  ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  const std::wstring& path() const { return path_; }
  const std::wstring& folder() const { return folder_; }
  bool isOpen() const;

  // Closes the file early (before the error report); the path stays and later lines are dropped.
  void CloseFile();

  void Write(int level, const wchar_t* format, va_list args);
  void WriteA(int level, const char* format, va_list args);

 private:
  void WriteLine(int level, const std::string& message);

  std::wstring path_;
  std::wstring folder_;
  int level_ = kLevelDebug;
  FILE* file_ = nullptr;
  // Whole lines are written under this lock so lines of several threads never interleave.
  CRITICAL_SECTION lock_;
};

// printf-style wide formats: %s takes a wide string. A null logger writes nothing.
void LogDebug(Logger* logger, const wchar_t* format, ...);
void LogError(Logger* logger, const wchar_t* format, ...);
void LogWarning(Logger* logger, const wchar_t* format, ...);
// Narrow format: %s takes a narrow string.
void LogDebugA(Logger* logger, const char* format, ...);

}  // namespace qrx
