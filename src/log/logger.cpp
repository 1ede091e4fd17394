#include "log/logger.h"

#include <shlwapi.h>

#include <vector>

#include "sysinfo/run_marker.h"
#include "sysinfo/temp_folder.h"
#include "sysinfo/working_parent.h"

namespace qrx {

const char* const kLevelNames[5] = {"", "TRACE", "ERROR", "WARNING", "DEBUG"};

namespace {

const wchar_t kLogFileName[] = L"installer_log.txt";

std::string WideToAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                       0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], size, nullptr,
                      nullptr);
  return result;
}

std::wstring FormatWide(const wchar_t* format, va_list args) {
  va_list count;
  va_copy(count, args);
  const int length = _vscwprintf(format, count);
  va_end(count);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  _vsnwprintf(buffer.data(), buffer.size(), format, args);
  return std::wstring(buffer.data(), static_cast<size_t>(length));
}

// The longest narrow line; a longer one is dropped, as one the runtime cannot print is.
constexpr size_t kMaxNarrowLine = size_t{1} << 20;

// _vsnprintf answers -1 while the buffer is too small, so the buffer doubles until the line fits.
// (_vscprintf would give the length at once, but MinGW links its own emulation of it, 0.6 KB.)
std::string FormatNarrow(const char* format, va_list args) {
  for (size_t size = 256; size <= kMaxNarrowLine; size *= 2) {
    std::vector<char> buffer(size);
    va_list copy;
    va_copy(copy, args);
    const int length = _vsnprintf(buffer.data(), size, format, copy);
    va_end(copy);
    if (length >= 0 && static_cast<size_t>(length) < size) {
      return std::string(buffer.data(), static_cast<size_t>(length));
    }
  }
  return std::string();
}

}  // namespace

std::string FormatLogTimestamp(const SYSTEMTIME& utc) {
  char buffer[80];
  _snprintf(buffer, sizeof(buffer), "%4d%02d%02d %02d:%02d:%02d %3d", utc.wYear, utc.wMonth, utc.wDay,
            utc.wHour, utc.wMinute, utc.wSecond, utc.wMilliseconds);
  buffer[sizeof(buffer) - 1] = '\0';
  return buffer;
}

std::string LogTimestamp() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return FormatLogTimestamp(now);
}

std::string FormatLogPrefix(const std::string& timestamp, int level) {
  const char* name = (level >= 0 && level <= 4) ? kLevelNames[level] : "";
  return "[" + timestamp + " " + name + "] ";
}

Logger::Logger() {
  InitializeCriticalSection(&lock_);
  std::wstring folder;
  // The folder is kept only once this logger made it, under the protected working parent: the
  // error report reads the log back by path, which nobody else may swap there.
  DWORD markerError = 0;
  if (!CreateWorkingFolder(folder, &markerError)) return;
  folder_ = folder;
  wchar_t path[MAX_PATH] = {};
  if (!PathCombineW(path, folder_.c_str(), kLogFileName)) return;
  // "N": the handle is not inherited by the setup processes we start.
  file_ = _wfopen(path, L"a+N");
  path_ = path;
  if (markerError) LogError(this, kLogRunMarkerNotWritten, folder_.c_str(), static_cast<unsigned>(markerError));
}

Logger::~Logger() {
  CloseFile();
  if (!folder_.empty()) DeleteFolderTree(folder_);
  DeleteCriticalSection(&lock_);
}

bool Logger::isOpen() const { return file_ != nullptr; }

void Logger::CloseFile() {
  EnterCriticalSection(&lock_);
  if (file_) {
    fclose(file_);
    file_ = nullptr;
  }
  LeaveCriticalSection(&lock_);
}

void Logger::WriteLine(int level, const std::string& message) {
  if (level > level_) return;
  const std::string line = FormatLogPrefix(LogTimestamp(), level) + message + "\n";
  EnterCriticalSection(&lock_);
  if (file_) {
    fwrite(line.data(), 1, line.size(), file_);
    fflush(file_);
  }
  LeaveCriticalSection(&lock_);
}

void Logger::Write(int level, const wchar_t* format, va_list args) {
  WriteLine(level, WideToAnsi(FormatWide(format, args)));
}

void Logger::WriteA(int level, const char* format, va_list args) {
  WriteLine(level, FormatNarrow(format, args));
}

void LogDebug(Logger* logger, const wchar_t* format, ...) {
  if (!logger) return;
  va_list args;
  va_start(args, format);
  logger->Write(kLevelDebug, format, args);
  va_end(args);
}

void LogError(Logger* logger, const wchar_t* format, ...) {
  if (!logger) return;
  va_list args;
  va_start(args, format);
  logger->Write(kLevelError, format, args);
  va_end(args);
}

void LogWarning(Logger* logger, const wchar_t* format, ...) {
  if (!logger) return;
  va_list args;
  va_start(args, format);
  logger->Write(kLevelWarning, format, args);
  va_end(args);
}

void LogDebugA(Logger* logger, const char* format, ...) {
  if (!logger) return;
  va_list args;
  va_start(args, format);
  logger->WriteA(kLevelDebug, format, args);
  va_end(args);
}

}  // namespace qrx
