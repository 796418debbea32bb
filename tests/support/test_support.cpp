#include "support/test_support.h"

#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace povezava::testing {
namespace {

// Every test program runs sealed, and so do the programs it starts: no paths
// file of this machine (/etc/povezava/paths, ~/.config/povezava/paths) is
// read, and the user's home is an empty folder of the build. A test that
// needs paths files names them itself.
struct Sealed {
  Sealed() {
#ifndef _WIN32
    const std::filesystem::path home = std::filesystem::path(POVEZAVA_BINARY_DIR) / "test-home";
    std::error_code ignored;
    std::filesystem::create_directories(home, ignored);
    ::setenv("POVEZAVA_PATHS", "", 1);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
#endif
  }
};
const Sealed kSealed;

int processId() {
#ifdef _WIN32
  return ::_getpid();
#else
  return static_cast<int>(::getpid());
#endif
}

}  // namespace

std::filesystem::path fixturesDir() {
  std::filesystem::path dir = POVEZAVA_FIXTURES_DIR;
  if (const char* env = std::getenv("POVEZAVA_FIXTURES")) dir = env;
  std::error_code ec;
  if (!std::filesystem::is_directory(dir / "jet4-v2000", ec)) return {};
  return std::filesystem::canonical(dir, ec);
}

bool fixturesRequired() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string_view(ci) == "true";
}

TempDir::TempDir() {
  std::random_device rd;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("povezava-test-" + std::to_string(processId()) + "-" +
                             std::to_string(rd()));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = candidate;
      return;
    }
  }
  ADD_FAILURE() << "cannot create a temporary folder";
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ec;
  // Make everything writable again so that read-only test files go too.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::copy(const std::filesystem::path& from, const std::string& as) const {
  const auto to = path_ / (as.empty() ? from.filename().string() : as);
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(to,
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  return to;
}

void TempDir::copyFiles(const std::filesystem::path& folder) const {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) copy(entry.path());
}

std::vector<std::byte> readFile(const std::filesystem::path& path) {
  // In one read: crash tests read whole files after every write.
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<std::byte> bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

void writeFile(const std::filesystem::path& path, const std::vector<std::byte>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

#ifdef _WIN32
// Under Wine the command runs in cmd.exe: the Windows build's tests use no
// POSIX tool (see haveProgram).
FILE* startCommand(const std::string& command) { return ::_popen(command.c_str(), "rb"); }
int endCommand(FILE* pipe) { return ::_pclose(pipe); }
#else
FILE* startCommand(const std::string& command) { return ::popen(command.c_str(), "r"); }
int endCommand(FILE* pipe) {
  const int rc = ::pclose(pipe);
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}
#endif

std::string runCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = startCommand(command);
  if (pipe == nullptr) {
    if (status != nullptr) *status = -1;
    return output;
  }
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  const int rc = endCommand(pipe);
  if (status != nullptr) *status = rc;
  return output;
}

std::string shellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().push_back(field);
      field.clear();
    } else if (c == '\n') {
      rows.back().push_back(field);
      field.clear();
      rows.emplace_back();
    } else if (c != '\r') {
      field += c;
    }
  }
  if (!field.empty() || !rows.back().empty()) rows.back().push_back(field);
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

std::vector<std::map<std::string, std::string>> csvRecords(const std::string& text) {
  const auto rows = parseCsv(text);
  std::vector<std::map<std::string, std::string>> records;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    if (rows[i].size() != rows[0].size()) {
      ADD_FAILURE() << "CSV row " << i << " has " << rows[i].size() << " fields, the header " << rows[0].size();
      continue;
    }
    auto& record = records.emplace_back();
    for (std::size_t c = 0; c < rows[0].size(); ++c) record[rows[0][c]] = rows[i][c];
  }
  return records;
}

bool haveProgram(const std::string& name) {
#ifdef _WIN32
  // mdbtools, dpkg and the POSIX shell are the Linux side's: tests that need
  // them run there and skip here.
  (void)name;
  return false;
#endif
  int status = 0;
  runCommand("command -v " + shellQuote(name) + " >/dev/null 2>&1", &status);
  return status == 0;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::string testNameOf(std::string_view text) {
  std::string name(text);
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

std::u16string withCurrentFolder(std::u16string_view text) {
  constexpr std::u16string_view kToken = u"{here}";
  const std::u16string here = std::filesystem::current_path().u16string();
  std::u16string out(text);
  for (std::size_t at = out.find(kToken); at != std::u16string::npos; at = out.find(kToken, at + here.size())) {
    out.replace(at, kToken.size(), here);
  }
  return out;
}

CurrentFolder::CurrentFolder(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(folder);
}

CurrentFolder::~CurrentFolder() {
  std::error_code ec;
  std::filesystem::current_path(previous_, ec);
}

std::string runMdbTool(const std::string& program, const std::filesystem::path& file, const std::string& arguments,
                       int* status) {
  return runCommand(program + " " + shellQuote(file.string()) + " " + arguments + " 2>&1", status);
}

std::string mdbExport(const std::filesystem::path& file, const std::string& table, int* status) {
  return runMdbTool("mdb-export", file, shellQuote(table), status);
}

::testing::AssertionResult mdbCatalogueHas(const std::filesystem::path& file, const std::string& text) {
  int status = -1;
  const std::string catalogue = mdbExport(file, "MSysObjects", &status);
  if (status != 0) return ::testing::AssertionFailure() << "mdb-export exited with " << status << ":\n" << catalogue;
  if (catalogue.find(text) == std::string::npos) {
    return ::testing::AssertionFailure() << "no \"" << text << "\" in mdb-export's catalogue:\n" << catalogue;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace povezava::testing
