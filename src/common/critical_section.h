// A critical section whose Lock() returns a guard that leaves it at the end of its scope.
#pragma once

#include <windows.h>

namespace qrx {

class CriticalSection {
 public:
  class Guard {
   public:
    explicit Guard(CRITICAL_SECTION* section) : section_(section) { EnterCriticalSection(section_); }
    ~Guard() { LeaveCriticalSection(section_); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    CRITICAL_SECTION* section_;
  };

  CriticalSection() { InitializeCriticalSection(&section_); }
  ~CriticalSection() { DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  // Held until the returned guard goes out of scope.
  [[nodiscard]] Guard Lock() { return Guard(&section_); }

 private:
  CRITICAL_SECTION section_;
};

}  // namespace qrx
