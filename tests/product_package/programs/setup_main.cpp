// The product package's "setup.exe" for tests and the demo. Like a real product setup it takes
// "NAME=value" parameters followed by "/qn /l* <log path>", installs the package's .msi files
// (listed in order in "packages.txt" beside it) with msiexec, pausing between them, writes its
// logs and exits with a chosen code.
//
// Parameters: EXITCODE=<n> (default 0), MSI=0 (install nothing), PAUSEMS=<n> (pause after each
// package, default 1500), REDIST=0 (no redistributable log in the temp folder), WAITMS=<n>
// (wait before exiting, default 0).
// It records what it saw in the log: "commandline=", "desktop=", "cwd=", "temp=", "tmp=" lines (UTF-8).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size, nullptr, nullptr);
  return result;
}

bool WriteText(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == text.size();
}

// The value of "NAME=value" among the blank-separated words, or `fallback`.
std::wstring Parameter(const std::wstring& line, const std::wstring& name, const std::wstring& fallback) {
  const std::wstring key = L" " + name + L"=";
  const size_t at = line.find(key);
  if (at == std::wstring::npos) return fallback;
  const size_t begin = at + key.size();
  const size_t end = line.find(L' ', begin);
  return line.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin);
}

// The quoted path after "/l* ".
std::wstring LogPath(const std::wstring& line) {
  const size_t at = line.rfind(L" /l* \"");
  if (at == std::wstring::npos) return std::wstring();
  const size_t begin = at + 6;
  const size_t end = line.find(L'"', begin);
  if (end == std::wstring::npos) return std::wstring();
  return line.substr(begin, end - begin);
}

std::wstring ModuleFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.rfind(L'\\'));
}

std::vector<std::wstring> PackageList(const std::wstring& folder) {
  std::vector<std::wstring> names;
  FILE* file = _wfopen((folder + L"\\packages.txt").c_str(), L"rb");
  if (!file) return names;
  char line[512];
  while (fgets(line, sizeof(line), file)) {
    std::string name = line;
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r' || name.back() == ' ')) name.pop_back();
    if (!name.empty()) names.emplace_back(name.begin(), name.end());
  }
  fclose(file);
  return names;
}

DWORD RunAndWait(const std::wstring& commandLine) {
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return GetLastError();
  }
  WaitForSingleObject(process.hProcess, 120000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

}  // namespace

int wmain() {
  const std::wstring line = GetCommandLineW();
  const DWORD exitCode = wcstoul(Parameter(line, L"EXITCODE", L"0").c_str(), nullptr, 10);
  const DWORD pauseMs = wcstoul(Parameter(line, L"PAUSEMS", L"1500").c_str(), nullptr, 10);
  const bool installMsi = Parameter(line, L"MSI", L"1") != L"0";
  const bool writeRedist = Parameter(line, L"REDIST", L"1") != L"0";
  const DWORD waitMs = wcstoul(Parameter(line, L"WAITMS", L"0").c_str(), nullptr, 10);

  wchar_t desktop[256] = L"";
  DWORD needed = 0;
  GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, desktop, sizeof(desktop), &needed);
  wchar_t cwd[MAX_PATH] = L"";
  GetCurrentDirectoryW(MAX_PATH, cwd);

  std::string record = "commandline=" + Utf8(line) + "\r\n";
  record += "desktop=" + Utf8(desktop) + "\r\n";
  record += "cwd=" + Utf8(cwd) + "\r\n";
  wchar_t variable[MAX_PATH] = L"";
  GetEnvironmentVariableW(L"TEMP", variable, MAX_PATH);
  record += "temp=" + Utf8(variable) + "\r\n";
  variable[0] = L'\0';
  GetEnvironmentVariableW(L"TMP", variable, MAX_PATH);
  record += "tmp=" + Utf8(variable) + "\r\n";

  const std::wstring logPath = LogPath(line);
  if (!logPath.empty()) {
    WriteText(logPath, record);
    WriteText(logPath + L".xml", "<setupLog><exitCode>" + std::to_string(exitCode) + "</exitCode></setupLog>");
  }

  if (writeRedist) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[96];
    _snwprintf(name, 96, L"dd_vcredist_amd64_%.4d%.2d%.2d%.2d%.2d%.2d.log", now.wYear, now.wMonth, now.wDay,
               now.wHour, now.wMinute, now.wSecond);
    name[95] = L'\0';
    WriteText(std::wstring(temp) + name, "redistributable set-up log\r\n");
  }

  if (installMsi) {
    const std::wstring folder = ModuleFolder();
    for (const std::wstring& package : PackageList(folder)) {
      const DWORD code = RunAndWait(L"msiexec.exe /i \"" + folder + L"\\" + package + L"\" /qn");
      if (code != 0 && code != 3010) return static_cast<int>(code);
      Sleep(pauseMs);
    }
  }
  if (waitMs) Sleep(waitMs);
  return static_cast<int>(exitCode);
}
