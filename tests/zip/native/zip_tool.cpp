// Command-line access to the archive library, for the interoperability checks and the benchmark:
//   zip_tool list ARCHIVE           extracts every file entry in memory and prints one line per
//                                   entry: index, directory flag, extracted size, CRC-32 of the
//                                   extracted data, name in hex; exit 1 at the first failure
//   zip_tool extract ARCHIVE DIR    writes every file entry to DIR, named by its index
//   zip_tool add ARCHIVE NAME FILE  adds FILE's bytes as entry NAME (level 9)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "zip/zip_reader.h"
#include "zip/zip_writer.h"
#include "zip_test_util.h"

using namespace ziptest;

namespace {

size_t ReadFd(void* context, uint64_t offset, void* buffer, size_t count) {
  const int fd = *static_cast<int*>(context);
  size_t total = 0;
  while (total < count) {
    const ssize_t n = pread(fd, static_cast<char*>(buffer) + total, count - total,
                            static_cast<off_t>(offset + total));
    if (n <= 0) break;
    total += static_cast<size_t>(n);
  }
  return total;
}

size_t WriteStream(void* context, uint64_t, const void* buffer, size_t count) {
  return fwrite(buffer, 1, count, static_cast<FILE*>(context));
}

std::string Hex(const std::string& s) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string command = argv[1];
  if (command == "add" && argc == 5) {
    std::ifstream in(argv[4], std::ios::binary);
    if (!in) return 2;
    const Bytes data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return qrx::ZipAddMemoryToArchiveFileInPlace(argv[2], argv[3], data.data(), data.size(),
                                                 qrx::kZipBestCompression) ? 0 : 1;
  }
  int fd = open(argv[2], O_RDONLY);
  struct stat info;
  if (fd < 0 || fstat(fd, &info) != 0) return 2;
  qrx::ZipReader reader;
  reader.Init(ReadFd, &fd);
  if (!reader.ReadCentralDirectory(static_cast<uint64_t>(info.st_size))) {
    fprintf(stderr, "central directory rejected\n");
    return 1;
  }
  for (uint32_t i = 0; i < reader.EntryCount(); ++i) {
    qrx::ZipEntry entry;
    if (!reader.GetEntry(i, &entry)) return 1;
    const bool directory = reader.IsDirectory(i);
    if (command == "list" && argc == 3) {
      Sink sink;
      if (!directory && !reader.ExtractToCallback(i, WriteSink, &sink)) {
        fprintf(stderr, "entry %u failed\n", i);
        return 1;
      }
      const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(sink.data.data()),
                              static_cast<uInt>(sink.data.size()));
      printf("%u %d %zu %08lx %s\n", i, directory ? 1 : 0, sink.data.size(),
             static_cast<unsigned long>(crc), Hex(entry.name).c_str());
    } else if (command == "extract" && argc == 4) {
      if (directory) continue;
      FILE* out = fopen((std::string(argv[3]) + "/" + std::to_string(i)).c_str(), "wb");
      if (out == nullptr) return 2;
      const bool ok = reader.ExtractToCallback(i, WriteStream, out);
      if (fclose(out) != 0 || !ok) {
        fprintf(stderr, "entry %u failed\n", i);
        return 1;
      }
    } else {
      return 2;
    }
  }
  reader.End();
  close(fd);
  return 0;
}
