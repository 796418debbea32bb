// Helpers shared by the tests: where the real test databases are, and
// temporary folders that clean up after themselves.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace povezava::testing {

// The folder of real Jet/ACE databases, or empty when this checkout has none.
std::filesystem::path fixturesDir();

// Skips the current test, saying why, when the fixtures are missing.
#define POVEZAVA_REQUIRE_FIXTURES()                                                   \
  do {                                                                                \
    if (::povezava::testing::fixturesDir().empty())                                   \
      GTEST_SKIP() << "no test databases at " POVEZAVA_FIXTURES_DIR                   \
                      " (the shared fixtures folder is not beside this checkout)";   \
  } while (0)

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Copies a file into the folder (writable, whatever the source's mode) and
  // returns the copy's path.
  std::filesystem::path copy(const std::filesystem::path& from, const std::string& as = {}) const;

 private:
  std::filesystem::path path_;
};

std::vector<std::byte> readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::vector<std::byte>& bytes);

// Runs a shell command and returns its standard output; `status` gets the
// exit status when given.
std::string runCommand(const std::string& command, int* status = nullptr);

// Quotes a text for a POSIX shell.
std::string shellQuote(const std::string& text);

// The rows of a CSV text as mdb-export writes it: fields quoted with '"',
// quotes doubled inside, quoted fields may hold line breaks.
std::vector<std::vector<std::string>> parseCsv(const std::string& text);

// True when a program of that name is on the PATH.
bool haveProgram(const std::string& name);

}  // namespace povezava::testing
