// Helpers for the zip layer's tests: the generated archives, folder listings, a reader over bytes.
#pragma once

#include <windows.h>

#include <set>
#include <string>

#include "zip/zip_files.h"
#include "zip/zip_reader.h"

namespace ziptest {

// An archive written by make_fixtures.py for this build.
std::wstring Fixture(const std::wstring& name);

// Opens `archive` as the installer does and extracts it into `target`.
bool ExtractFile(const std::wstring& archive, const std::wstring& target);

// Names of the files and folders directly in `folder` (folders with a trailing backslash).
std::set<std::wstring> ListFolder(const std::wstring& folder);

// A reader over archive bytes held in memory.
class MemoryArchive {
 public:
  explicit MemoryArchive(std::string bytes);
  ~MemoryArchive() { reader_.End(); }
  bool ok() const { return ok_; }
  qrx::ZipReader& reader() { return reader_; }
  // The entry's data, or false when it cannot be extracted.
  bool Data(uint32_t index, std::string* data);

 private:
  static size_t Read(void* context, uint64_t offset, void* buffer, size_t count);
  std::string bytes_;
  qrx::ZipReader reader_;
  bool ok_ = false;
};

}  // namespace ziptest
