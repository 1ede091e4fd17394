// Command-line access to the archive library, for the interoperability checks and the benchmark:
//   zip_tool list ARCHIVE           extracts every file entry in memory and prints one line per
//                                   entry: index, directory flag, extracted size, CRC-32 of the
//                                   extracted data, name in hex; exit 1 at the first failure
//   zip_tool extract ARCHIVE DIR    writes every file entry to DIR, named by its index
//   zip_tool add ARCHIVE NAME FILE  adds FILE's bytes as entry NAME (level 9)
//   zip_tool dump DIR ARCHIVE...    for each archive k a line "archive k read|rejected", then per
//                                   entry: index, directory flag, extracted flag, recorded size,
//                                   recorded CRC-32, name in hex; writes each extracted file entry
//                                   to DIR/k-index and goes on after a failing entry
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

bool Open(const char* path, int* fd, uint64_t* size) {
  *fd = open(path, O_RDONLY);
  struct stat info;
  if (*fd < 0 || fstat(*fd, &info) != 0) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
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

int Dump(const std::string& folder, int count, char** archives) {
  setvbuf(stdout, nullptr, _IOLBF, 0);  // the last line names the archive if one brings us down
  for (int k = 0; k < count; ++k) {
    int fd = -1;
    uint64_t size = 0;
    if (!Open(archives[k], &fd, &size)) return 2;
    qrx::ZipReader reader;
    reader.Init(ReadFd, &fd);
    const bool read = reader.ReadCentralDirectory(size);
    printf("archive %d %s\n", k, read ? "read" : "rejected");
    for (uint32_t i = 0; read && i < reader.EntryCount(); ++i) {
      qrx::ZipEntry entry;
      if (!reader.GetEntry(i, &entry)) return 1;
      const bool directory = reader.IsDirectory(i);
      bool extracted = false;
      if (!directory) {
        const std::string path = folder + "/" + std::to_string(k) + "-" + std::to_string(i);
        FILE* out = fopen(path.c_str(), "wb");
        if (out == nullptr) return 2;
        extracted = reader.ExtractToCallback(i, WriteStream, out);
        if (fclose(out) != 0) return 2;
        if (!extracted) remove(path.c_str());
      }
      printf("%u %d %d %llu %08lx %s\n", i, directory ? 1 : 0, extracted ? 1 : 0,
             static_cast<unsigned long long>(entry.uncompressedSize),
             static_cast<unsigned long>(entry.crc32), Hex(entry.name).c_str());
    }
    reader.End();
    close(fd);
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string command = argv[1];
  if (command == "dump") return Dump(argv[2], argc - 3, argv + 3);
  if (command == "add" && argc == 5) {
    std::ifstream in(argv[4], std::ios::binary);
    if (!in) return 2;
    const Bytes data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return qrx::ZipAddMemoryToArchiveFileInPlace(argv[2], argv[3], data.data(), data.size(),
                                                 qrx::kZipBestCompression) ? 0 : 1;
  }
  int fd = -1;
  uint64_t size = 0;
  if (!Open(argv[2], &fd, &size)) return 2;
  qrx::ZipReader reader;
  reader.Init(ReadFd, &fd);
  if (!reader.ReadCentralDirectory(size)) {
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
