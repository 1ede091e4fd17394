// qrxpack: signs the wizard's executable and appends its page table, and lists, verifies and
// extracts the table of a packed executable.
//
//   qrxpack build   --in BUILT.exe --pages DIR --out PACKED.exe --cert CERT.pem --key KEY.pem
//   qrxpack sign    --in BUILT.exe --out SIGNED.exe --cert CERT.pem --key KEY.pem
//   qrxpack pack    --in SIGNED.exe --pages DIR --out PACKED.exe
//   qrxpack list    PACKED.exe
//   qrxpack verify  PACKED.exe
//   qrxpack extract PACKED.exe DIR
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "page_table.h"
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

int ReadPacked(const std::string& path, std::vector<qrxpack::PageFile>& pages) {
  Bytes image;
  if (!ReadAll(path, image)) return Fail("cannot read " + path);
  std::string error;
  if (!qrxpack::ReadTable(image, pages, error)) return Fail(path + ": " + error);
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
               "       qrxpack list|verify PACKED\n"
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
  if ((command == "list" || command == "verify") && argc == 3) {
    std::vector<qrxpack::PageFile> pages;
    if (int rc = ReadPacked(argv[2], pages)) return rc;
    if (command == "list") {
      for (const auto& p : pages) std::printf("%10zu  %s\n", p.data.size(), p.name.c_str());
    }
    std::printf("qrxpack: %s: table of %zu files is sound\n", argv[2], pages.size());
    return 0;
  }
  if (command == "extract" && argc == 4) {
    std::vector<qrxpack::PageFile> pages;
    if (int rc = ReadPacked(argv[2], pages)) return rc;
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
