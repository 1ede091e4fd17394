// qrxpack: signs the wizard's executable and appends its page table, and lists, verifies and
// extracts the table of a packed executable.
//
// `digest` writes the SHA-256 of the table bytes that packing DIR will append (records and end
// record, 32 bytes): the build places it in the image as a resource before signing, which binds
// the pages to the signature. `verify` checks that digest whenever the image carries it, and
// `--bound` requires it.
//
//   qrxpack build   --in BUILT.exe --pages DIR --out PACKED.exe --cert CERT.pem --key KEY.pem
//   qrxpack sign    --in BUILT.exe --out SIGNED.exe --cert CERT.pem --key KEY.pem
//   qrxpack pack    --in SIGNED.exe --pages DIR --out PACKED.exe
//   qrxpack digest  --pages DIR --out DIGEST.bin
//   qrxpack list    PACKED.exe
//   qrxpack verify  [--bound] PACKED.exe
//   qrxpack extract PACKED.exe DIR
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <openssl/sha.h>

#include "page_table.h"
#include "payload/page_digest_id.h"
#include "pe_image.h"

namespace fs = std::filesystem;
using qrxpack::Bytes;

namespace {

bool ReadAll(const std::string& path, Bytes& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteAll(const std::string& path, const Bytes& bytes) {
  const std::string temp = path + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  return !ec;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "qrxpack: %s\n", message.c_str());
  return 1;
}

// Runs a program with arguments (no shell) and waits for it.
bool Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool Sign(const std::string& in, const std::string& out, const std::string& cert, const std::string& key) {
  std::error_code ec;
  fs::remove(out, ec);
  return Run({"osslsigncode", "sign", "-certs", cert, "-key", key, "-h", "sha256", "-n", "QRX Download Manager",
              "-in", in, "-out", out});
}

int Pack(const std::string& in, const std::string& pagesDir, const std::string& out) {
  Bytes image;
  if (!ReadAll(in, image)) return Fail("cannot read " + in);
  std::vector<qrxpack::PageFile> pages;
  std::string error;
  if (!qrxpack::CollectPages(pagesDir, pages, error)) return Fail(error);
  if (!qrxpack::AppendTable(image, pages, error)) return Fail(in + ": " + error);
  if (!WriteAll(out, image)) return Fail("cannot write " + out);
  std::printf("qrxpack: %s: %zu files, %zu bytes\n", out.c_str(), pages.size(), image.size());
  return 0;
}

constexpr uint32_t kRcData = 10;

Bytes Sha256(const uint8_t* data, size_t size) {
  Bytes digest(SHA256_DIGEST_LENGTH);
  SHA256(data, size, digest.data());
  return digest;
}

int Digest(const std::string& pagesDir, const std::string& out) {
  std::vector<qrxpack::PageFile> pages;
  std::string error;
  Bytes table;
  if (!qrxpack::CollectPages(pagesDir, pages, error) || !qrxpack::BuildTableBytes(pages, table, error)) {
    return Fail(error);
  }
  if (!WriteAll(out, Sha256(table.data(), table.size()))) return Fail("cannot write " + out);
  std::printf("qrxpack: %s: digest of a %zu-byte table of %zu files\n", out.c_str(), table.size(), pages.size());
  return 0;
}

// Reads the table back; with a digest resource in the image, the table must match it. `bound`
// set: the image must carry one.
int ReadPacked(const std::string& path, std::vector<qrxpack::PageFile>& pages, bool bound, bool* hasDigest) {
  Bytes image;
  if (!ReadAll(path, image)) return Fail("cannot read " + path);
  std::string error;
  size_t start = 0;
  size_t end = 0;
  if (!qrxpack::ReadTable(image, pages, error, &start, &end)) return Fail(path + ": " + error);
  size_t offset = 0;
  size_t size = 0;
  std::string resourceError;
  *hasDigest = qrxpack::FindResourceData(image, kRcData, QRX_PAGE_TABLE_DIGEST_ID, offset, size, resourceError);
  if (!*hasDigest) {
    return bound ? Fail(path + ": no page table digest in the image (" + resourceError + ")") : 0;
  }
  if (size != SHA256_DIGEST_LENGTH) return Fail(path + ": the page table digest is not 32 bytes");
  const Bytes digest = Sha256(image.data() + start, end - start);
  if (!std::equal(digest.begin(), digest.end(), image.begin() + static_cast<std::ptrdiff_t>(offset))) {
    return Fail(path + ": the page table does not match the digest in the signed image");
  }
  return 0;
}

std::map<std::string, std::string> Options(int argc, char** argv, int first) {
  std::map<std::string, std::string> options;
  for (int i = first; i + 1 < argc; i += 2) options[argv[i]] = argv[i + 1];
  return options;
}

int Usage() {
  std::fprintf(stderr,
               "usage: qrxpack build --in BUILT --pages DIR --out OUT --cert CERT --key KEY\n"
               "       qrxpack sign --in BUILT --out OUT --cert CERT --key KEY\n"
               "       qrxpack pack --in SIGNED --pages DIR --out OUT\n"
               "       qrxpack digest --pages DIR --out DIGEST\n"
               "       qrxpack list|verify [--bound] PACKED\n"
               "       qrxpack extract PACKED DIR\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  std::map<std::string, std::string> o = Options(argc, argv, 2);
  auto has = [&o](std::initializer_list<const char*> keys) {
    for (const char* k : keys)
      if (o.count(k) == 0) return false;
    return true;
  };

  if (command == "sign" && has({"--in", "--out", "--cert", "--key"})) {
    return Sign(o["--in"], o["--out"], o["--cert"], o["--key"]) ? 0 : Fail("osslsigncode sign failed");
  }
  if (command == "pack" && has({"--in", "--pages", "--out"})) return Pack(o["--in"], o["--pages"], o["--out"]);
  if (command == "build" && has({"--in", "--pages", "--out", "--cert", "--key"})) {
    const std::string signedPath = o["--out"] + ".signed";
    if (!Sign(o["--in"], signedPath, o["--cert"], o["--key"])) return Fail("osslsigncode sign failed");
    const int rc = Pack(signedPath, o["--pages"], o["--out"]);
    std::error_code ec;
    fs::remove(signedPath, ec);
    return rc;
  }
  if (command == "digest" && has({"--pages", "--out"})) return Digest(o["--pages"], o["--out"]);
  const bool bound = argc == 4 && std::string(argv[2]) == "--bound";
  if ((command == "list" || command == "verify") && (argc == 3 || bound)) {
    const char* path = argv[argc - 1];
    std::vector<qrxpack::PageFile> pages;
    bool hasDigest = false;
    if (int rc = ReadPacked(path, pages, bound, &hasDigest)) return rc;
    if (command == "list") {
      for (const auto& p : pages) std::printf("%10zu  %s%s\n", p.data.size(), p.name.c_str(), p.deflated ? "  (deflated)" : "");
    }
    std::printf("qrxpack: %s: table of %zu files is sound%s\n", path, pages.size(),
                hasDigest ? " and matches the digest in the signed image" : "");
    return 0;
  }
  if (command == "extract" && argc == 4) {
    std::vector<qrxpack::PageFile> pages;
    bool hasDigest = false;
    if (int rc = ReadPacked(argv[2], pages, false, &hasDigest)) return rc;
    for (const auto& p : pages) {
      std::string relative = p.name;
      for (char& c : relative)
        if (c == '\\') c = '/';
      const fs::path target = fs::path(argv[3]) / relative;
      std::error_code ec;
      fs::create_directories(target.parent_path(), ec);
      if (ec || !WriteAll(target.string(), p.data)) return Fail("cannot write " + target.string());
    }
    std::printf("qrxpack: extracted %zu files into %s\n", pages.size(), argv[3]);
    return 0;
  }
  return Usage();
}
