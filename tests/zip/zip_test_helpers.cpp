#include "zip_test_helpers.h"

#include <cstring>

#include "common/unique_any.h"

namespace ziptest {

std::wstring Fixture(const std::wstring& name) { return std::wstring(QRX_TEST_BINARY_DIR) + L"\\zip-fixtures\\" + name; }

bool ExtractFile(const std::wstring& archive, const std::wstring& target) {
  qrx::UniqueFile file(CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  return qrx::ExtractArchive(file.get(), target.c_str());
}

std::set<std::wstring> ListFolder(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW entry;
  qrx::UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!find) return names;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    names.insert((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? name + L"\\" : name);
  } while (FindNextFileW(find.get(), &entry));
  return names;
}

MemoryArchive::MemoryArchive(std::string bytes) : bytes_(std::move(bytes)) {
  reader_.Init(Read, this);
  ok_ = reader_.ReadCentralDirectory(bytes_.size());
}

size_t MemoryArchive::Read(void* context, uint64_t offset, void* buffer, size_t count) {
  const std::string& bytes = static_cast<MemoryArchive*>(context)->bytes_;
  if (offset > bytes.size() || count > bytes.size() - offset) return 0;
  memcpy(buffer, bytes.data() + offset, count);
  return count;
}

bool MemoryArchive::Data(uint32_t index, std::string* data) {
  data->clear();
  auto write = [](void* context, uint64_t, const void* buffer, size_t count) -> size_t {
    static_cast<std::string*>(context)->append(static_cast<const char*>(buffer), count);
    return count;
  };
  return reader_.ExtractToCallback(index, write, data);
}

}  // namespace ziptest
