// The real povezava-cli binary, run as a script would run it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <regex>

#include "suite.h"

namespace povezava::cli {
namespace {

using povezava::testing::runCommand;
using povezava::testing::shellQuote;
using povezava::testing::TempDir;
using namespace povezava::cli::testing;

// Runs povezava-cli with the arguments (already quoted), stderr to `errFile`.
std::string cli(const std::string& args, int* status, const std::filesystem::path& errFile) {
  return runCommand(shellQuote(POVEZAVA_CLI_PATH) + ' ' + args + " 2>" + shellQuote(errFile.string()),
                    status);
}

std::string slurp(const std::filesystem::path& file) {
  const auto bytes = povezava::testing::readFile(file);
  std::string text;
  for (std::byte b : bytes) text += static_cast<char>(b);
  return text;
}

// Every line of `text` parsed by Python's json module: "" when they all are
// JSON objects, else Python's complaint.
std::string jsonProblems(const std::filesystem::path& dir, const std::string& text) {
  const auto file = dir / "out.jsonl";
  std::ofstream(file) << text;
  int status = 0;
  const std::string said = runCommand(
      "python3 -c 'import json,sys\nfor l in open(sys.argv[1], encoding=\"utf-8\"):\n"
      "  assert isinstance(json.loads(l), dict)' " +
          shellQuote(file.string()) + " 2>&1",
      &status);
  return status == 0 ? "" : said;
}

struct ArgsCase {
  const char* name;
  const char* args;
  int status;
  const char* stdoutHas;  // "" = stdout empty
};

class ProgramArgsTest : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(ProgramArgsTest, ExitStatusAndOutput) {
  TempDir dir;
  int status = -1;
  const std::string out = cli(GetParam().args, &status, dir.path() / "err");
  EXPECT_EQ(status, GetParam().status) << out << slurp(dir.path() / "err");
  if (*GetParam().stdoutHas == '\0') {
    EXPECT_EQ(out, "");
  } else {
    EXPECT_NE(out.find(GetParam().stdoutHas), std::string::npos) << out;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramArgsTest,
    ::testing::Values(ArgsCase{"Version", "--version", 0, "povezava-cli " POVEZAVA_VERSION "\n"},
                      ArgsCase{"Help", "--help", 0, "relink FILE... --replace OLD=NEW"},
                      ArgsCase{"CommandHelp", "check --help", 0, "check [--json] FILE..."},
                      ArgsCase{"NoCommand", "", 2, ""},
                      ArgsCase{"UnknownCommand", "fix a.mdb", 2, ""},
                      ArgsCase{"RelinkWithoutForm", "relink a.mdb b.mdb", 2, ""}),
    povezava::testing::RowName());

// The manual (man page, and the Windows zip's text manual made from it)
// keeps up with --help: every option and command --help names is in it.
TEST(ProgramTest, TheManualNamesEveryOptionAndCommandOfHelp) {
  TempDir dir;
  int status = -1;
  std::string help = cli("--help", &status, dir.path() / "err");
  for (const char* command : {"list", "check", "relink", "recover", "paths", "make-demo"}) {
    help += cli(std::string(command) + " --help", &status, dir.path() / "err");
  }
  std::string manual = slurp(std::filesystem::path(POVEZAVA_SOURCE_DIR) / "packaging" / "povezava-cli.1");
  for (std::size_t at = manual.find("\\-"); at != std::string::npos; at = manual.find("\\-", at)) {
    manual.erase(at, 1);
  }
  static const std::regex kOption("--[a-z][a-z0-9-]*");
  std::size_t options = 0;
  for (auto it = std::sregex_iterator(help.begin(), help.end(), kOption); it != std::sregex_iterator(); ++it) {
    ++options;
    EXPECT_NE(manual.find(it->str()), std::string::npos) << it->str() << " is missing from the manual";
  }
  EXPECT_GT(options, 15u) << help;
  for (const char* word : {"make-demo", "paths", "POVEZAVA_PATHS", "recover"}) {
    EXPECT_NE(manual.find(word), std::string::npos) << word;
  }
}

// A name that is not valid UTF-8 would become another name (U+FFFD) in a
// link: it is refused, whichever way it comes, and nothing is written.
TEST(ProgramTest, ANameThatIsNotValidUtf8IsRefused) {
  TempDir dir;
  const auto data = dir.path() / "data";
  buildBackEnds(data);
  const auto odd = dir.path() / std::string("\xff\xfe");
  std::filesystem::create_directories(odd);
  const auto fe = odd / "TQ.mdb";
  buildFrontEnd(fe, u"C:\\OLD\\PARTNER.MDB", u"C:\\OLD\\QUERNO.MDB");
  // The back-ends beside it too, so only the name can stand in the way.
  for (const char* name : {"PARTNER.MDB", "QUERNO.MDB"}) std::filesystem::copy_file(data / name, odd / name);
  const auto before = povezava::testing::readFile(fe);
  const auto errFile = dir.path() / "err";
  for (const std::string& args : {"relink --local-paths " + shellQuote(fe.string()) + " --backend " + shellQuote(odd.string()),
                                  "list " + shellQuote(fe.string())}) {
    int status = -1;
    cli(args, &status, errFile);
    EXPECT_EQ(status, 2) << args;
    EXPECT_NE(slurp(errFile).find("error 9005: '"), std::string::npos) << slurp(errFile);
    EXPECT_NE(slurp(errFile).find("\\xff\\xfe"), std::string::npos) << slurp(errFile);
  }
  // Reached through the current folder (--beside): refused as the file's error.
  int status = -1;
  const std::string out =
      runCommand("cd " + shellQuote(odd.string()) + " && " + shellQuote(POVEZAVA_CLI_PATH) +
                     " relink --local-paths TQ.mdb --beside 2>/dev/null", &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("error 9005"), std::string::npos) << out;
  EXPECT_EQ(povezava::testing::readFile(fe), before);
}

TEST(ProgramTest, ManyFilesOneProcessJsonForScripts) {
  TempDir dir;
  const auto data = dir.path() / "data";
  buildBackEnds(data);
  std::string files;
  for (const char* name : {"TQ.mdb", "MV.mdb", "RZ.mdb", "FH.mdb", "YU.mdb", "XAN.mdb"}) {
    buildFrontEnd(dir.path() / name, u"C:\\Program Files\\Racunovodstvo\\PARTNER.MDB",
                  u"C:\\Program Files\\Racunovodstvo\\QUERNO.MDB");
    files += shellQuote((dir.path() / name).string()) + ' ';
  }
  std::ofstream(dir.path() / "odd \"name\".mdb") << "no database here";
  files += shellQuote((dir.path() / "odd \"name\".mdb").string());

  int status = -1;
  const std::string before = cli("check --json " + files, &status, dir.path() / "err");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(lines(before).size(), 7u);
  EXPECT_EQ(jsonProblems(dir.path(), before), "");

  const std::string relinked =
      cli("relink --local-paths --json --backend " + shellQuote(data.string()) + ' ' + files, &status, dir.path() / "err");
  EXPECT_EQ(status, 1);  // the file that is not a database
  EXPECT_EQ(jsonProblems(dir.path(), relinked), "");
  EXPECT_EQ(lines(slurp(dir.path() / "err")).back(),
            "povezava-cli: 7 files, 6 changed, 18 tables relinked, 1 failure");

  const std::string after = cli("check " + files, &status, dir.path() / "err");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(lines(slurp(dir.path() / "err")).back(),
            "povezava-cli: 7 files checked, 18 links ok, 0 broken, 1 not opened");
}

// The error numbers of the table lines a relink printed, in order.
std::vector<std::string> errorNumbers(const std::string& out) {
  std::vector<std::string> numbers;
  static const std::regex kError("\terror ([0-9]+): ");
  for (const std::string& line : lines(out)) {
    std::smatch match;
    numbers.push_back(std::regex_search(line, match, kError) ? match[1].str() : "ok");
  }
  return numbers;
}

// A front-end the user may not write, or whose folder takes no journal: the
// dry run reports the error the real run then gives. As root, which may write
// anything, povezava-cli runs as the user nobody.
TEST(ProgramTest, DryRunReportsAReadOnlyFileOrFolderAsTheRealRunDoes) {
  const bool root = ::geteuid() == 0;
  const std::string asUser = root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  if (root && !povezava::testing::haveProgram("setpriv")) GTEST_SKIP() << "setpriv is not installed";
  struct Row {
    const char* name;
    bool fileWritable;
    bool folderWritable;
  };
  for (const Row row : {Row{"read-only file", false, true}, Row{"read-only folder", true, false}}) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const auto data = dir.path() / "data";
    buildBackEnds(data);
    const auto folder = dir.path() / "fe";
    const auto fe = folder / "TQ.mdb";
    buildFrontEnd(fe, u"C:\\OLD\\PARTNER.MDB", u"C:\\OLD\\QUERNO.MDB");
    const auto before = povezava::testing::readFile(fe);
    namespace fs = std::filesystem;
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    for (const auto& path : {data, data / "PARTNER.MDB", data / "QUERNO.MDB", folder, fe}) {
      fs::permissions(path, fs::perms::group_read | fs::perms::others_read, fs::perm_options::add);
      if (fs::is_directory(path)) fs::permissions(path, fs::perms::others_exec, fs::perm_options::add);
    }
    if (root) {
      // Root owns everything, so nobody may write only what it is given.
      if (row.fileWritable) {
        ASSERT_EQ(::chown(fe.c_str(), 65534, 65534), 0);
      }
      if (row.folderWritable) {
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
      }
    } else {
      if (!row.fileWritable) fs::permissions(fe, fs::perms::owner_write, fs::perm_options::remove);
      if (!row.folderWritable) fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
    }
    const std::string args = "relink --local-paths --backend " + shellQuote(data.string()) + ' ' + shellQuote(fe.string());
    int status = -1;
    const std::string dry = runCommand(asUser + shellQuote(POVEZAVA_CLI_PATH) + ' ' + args + " --dry-run 2>/dev/null", &status);
    EXPECT_EQ(status, 1) << dry;
    const std::string real = runCommand(asUser + shellQuote(POVEZAVA_CLI_PATH) + ' ' + args + " 2>/dev/null", &status);
    EXPECT_EQ(status, 1) << real;
    // Three tables held back ("ok" here: no error of their own) and the
    // front-end's error.
    const std::vector<std::string> numbers = errorNumbers(real);
    ASSERT_EQ(numbers.size(), 4u) << real;
    std::vector<std::string> expected(3, "ok");
    expected.push_back(row.fileWritable ? numbers.back() : "3027");
    EXPECT_EQ(numbers, expected) << real;
    EXPECT_EQ(errorNumbers(dry), expected) << dry;
    EXPECT_NE(expected.back(), "ok");
    EXPECT_EQ(povezava::testing::readFile(fe), before);
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);  // so the folder can go
  }
}

}  // namespace
}  // namespace povezava::cli
