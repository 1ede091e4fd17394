// The record of one run: what the pages set, what the reports carry.
#pragma once

#include <string>

#include "reporting/property_map.h"

namespace qrx {

enum InstallStatus {
  kNotStart = 0,
  kCompleted = 1,
  kError = 2,
  kCancel = 3,
  kEnvironmentNotMeet = 4,
};

// "64" for an x64 machine, "32" otherwise.
std::wstring OsBitsFor(const std::wstring& architecture);

struct SessionInfo {
  // Fills the machine facts of this run; `status` starts at kEnvironmentNotMeet.
  SessionInfo(const std::wstring& productId, const std::wstring& managerVersion);

  std::wstring requestToken;
  std::wstring country;
  std::wstring productId;
  std::wstring productVersion;
  std::wstring channelId;
  int installLanguage = 0;
  int status = kEnvironmentNotMeet;
  int wrapperError = 0;
  int msiError = 0;
  std::wstring os;
  int language = 0;
  std::wstring architecture;
  std::wstring defaultBrowser;
  std::wstring managerVersion;
  std::wstring machineId;
  // Page-visible properties, ordered by UTF-16 code unit.
  PropertyMap properties;
};

}  // namespace qrx
