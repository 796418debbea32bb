// Helpers shared by the tests: where the real test databases are, and
// temporary folders that clean up after themselves.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace povezava::testing {

// The folder of real Jet/ACE databases, or empty when this checkout has none.
std::filesystem::path fixturesDir();

// True when a missing fixtures folder must fail the run instead of skipping
// the tests that need it: on CI (the environment variable CI is "true", as CI
// services set it), where a skip would hide that nothing was tested.
bool fixturesRequired();

// Skips the current test, saying why, when the fixtures are missing; fails it
// instead when they are required.
#define POVEZAVA_REQUIRE_FIXTURES()                                                   \
  do {                                                                                \
    if (::povezava::testing::fixturesDir().empty()) {                                 \
      if (::povezava::testing::fixturesRequired())                                    \
        GTEST_FAIL() << "no test databases at " POVEZAVA_FIXTURES_DIR                 \
                        ", and CI=true requires them";                                \
      GTEST_SKIP() << "no test databases at " POVEZAVA_FIXTURES_DIR                   \
                      " (the shared fixtures folder is not beside this checkout)";   \
    }                                                                                 \
  } while (0)

// One fixture folder of front-ends (TQ, NONALOGI, LOCALPARTNER, linked to
// C:\APP) and the back-ends beside them.
struct FixtureSet {
  const char* name;       // for test names
  const char* folder;
  const char* extension;  // of the front-ends
  const char* partner;    // the back-ends' file names
  const char* querno;
};

inline constexpr FixtureSet kFixtureSets[] = {
    {"Jet4V2000", "jet4-v2000", ".mdb", "PARTNER.MDB", "QUERNO.MDB"},
    {"Jet4V2003", "jet4-v2003", ".mdb", "PARTNER.MDB", "QUERNO.MDB"},
    {"Ace14", "ace-v2010", ".accdb", "PARTNER.accdb", "QUERNO.accdb"},
};

inline void PrintTo(const FixtureSet& set, std::ostream* out) { *out << set.folder; }

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
  // Copies every file of a folder (a fixture set) into this one.
  void copyFiles(const std::filesystem::path& folder) const;

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

// The rows after the header line of such a text, each as column name ->
// field; a row with another number of fields than the header fails the test.
std::vector<std::map<std::string, std::string>> csvRecords(const std::string& text);

// True when a program of that name is on the PATH.
bool haveProgram(const std::string& name);

// The lines of a text, without their line ends.
std::vector<std::string> lines(const std::string& text);

// A test name (letters, digits and '_') made from any text.
std::string testNameOf(std::string_view text);

// Names each instance of a parameterised test after its row's `name`.
struct RowName {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
    return info.param.name;
  }
};

// Makes `folder` the current folder until the object goes away.
// `text` with every "{here}" replaced by the current folder: expected link
// strings for locations that are made absolute against it.
std::u16string withCurrentFolder(std::u16string_view text);

class CurrentFolder {
 public:
  explicit CurrentFolder(const std::filesystem::path& folder);
  ~CurrentFolder();
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

// Skips a test that needs what only the Linux side has: a POSIX shell, FIFOs,
// symbolic links, owners and modes. The Windows build's tests run under Wine.
#ifdef _WIN32
#define POVEZAVA_REQUIRE_POSIX(what) GTEST_SKIP() << "needs " what ", which the Windows build's tests do not have"
#else
#define POVEZAVA_REQUIRE_POSIX(what) static_cast<void>(0)
#endif

// A check by mdbtools, the second reader, run in the Linux build only: the
// Windows build's tests run under Wine, and what the .exe writes is read back
// by mdbtools on the Linux side (tests/windows/cli_under_wine.sh).
#ifdef _WIN32
#define POVEZAVA_WITH_MDBTOOLS(...) static_cast<void>(0)
#else
#define POVEZAVA_WITH_MDBTOOLS(...) \
  do {                              \
    __VA_ARGS__;                    \
  } while (0)
#endif

// mdbtools, the second reader. `program` may carry options and a variable
// before it ("MDB_JET3_CHARSET=CP1250 mdb-export -b strip"); `arguments` go
// after the file name. Returns what it prints, its errors included.
std::string runMdbTool(const std::string& program, const std::filesystem::path& file,
                       const std::string& arguments = {}, int* status = nullptr);

// mdb-export of one table.
std::string mdbExport(const std::filesystem::path& file, const std::string& table, int* status = nullptr);

// Succeeds when mdb-export reads the catalogue (MSysObjects) of `file` and
// its text contains `text`.
::testing::AssertionResult mdbCatalogueHas(const std::filesystem::path& file, const std::string& text);

// Skips the current test when mdbtools is missing.
#ifdef _WIN32
#define POVEZAVA_REQUIRE_MDBTOOLS() \
  GTEST_SKIP() << "mdbtools, the second reader, checks files on the Linux side (tests/windows/cli_under_wine.sh)"
#else
#define POVEZAVA_REQUIRE_MDBTOOLS()                                                       \
  do {                                                                                    \
    if (!::povezava::testing::haveProgram("mdb-export"))                                  \
      GTEST_SKIP() << "mdbtools is not installed (Debian package mdbtools), so the "      \
                      "second reader cannot check the files";                            \
  } while (0)
#endif

}  // namespace povezava::testing
