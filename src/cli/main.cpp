// povezava-cli: the engine and the link rules from the command line.
// Each command lives in its own file; this table dispatches to them.
//
// Text is UTF-8 everywhere inside. On Windows the arguments arrive as UTF-16
// (wmain) and are converted here, never through the ANSI code page; output is
// UTF-8 with LF line ends on both systems, byte for byte the same (the console
// is switched to UTF-8, and stdout and stderr to binary mode so that no CR is
// added: PowerShell, ConvertFrom-Json and every editor read LF).
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "base/native_text.h"
#include "base/win32_api.h"
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/check_command.h"
#include "cli/console.h"
#include "cli/list_command.h"
#include "cli/make_demo_command.h"
#include "cli/paths_command.h"
#include "cli/recover_command.h"
#include "cli/relink_command.h"
#include "base/errors.h"
#include "base/unicode.h"
#include "links/program.h"
#include "platform/file_system.h"

namespace {

using povezava::cli::Console;

int makeDemo(std::span<const std::string> args, Console& console) {
  return povezava::cli::runMakeDemo(args, console.out, console.err);
}

// On Windows the path map has nothing to do: drives and shares are the
// system's own.
constexpr char kNoMapOnWindows[] =
    "Windows resolves drives and shares itself: the path map (paths, --map, the paths files) is for "
    "povezava-cli on Linux and means nothing here.";

int paths(std::span<const std::string> args, Console& console) {
  povezava::cli::MapOptions options;
  if (auto why = povezava::cli::takeMapOptions(args, options)) {
    console.err << "povezava-cli paths: " << *why << '\n';
    return 2;
  }
#ifdef _WIN32
  (void)options;
  console.err << "povezava-cli paths: " << kNoMapOnWindows << '\n';
  return 0;
#endif
  return povezava::cli::runPaths(options.rest, povezava::engine::programPathMapSources(options.maps),
                                 console);
}

struct Command {
  std::string_view name;
  std::string_view help;
  int (*run)(std::span<const std::string> args, Console& console);
  bool pathMap = false;  // resolves or writes links: takes --map, loads the path map first
};

// Takes the --map options out of `args` and makes the process's path map;
// an exit status when that failed.
std::optional<int> loadPathMap(std::string_view command, std::vector<std::string>& args, Console& console) {
  povezava::cli::MapOptions options;
  if (auto why = povezava::cli::takeMapOptions(args, options)) {
    console.err << "povezava-cli " << command << ": " << *why << '\n';
    return 2;
  }
#ifdef _WIN32
  if (!options.maps.empty()) {
    console.err << "povezava-cli " << command << ": --map: " << kNoMapOnWindows << '\n';
    return 2;
  }
#endif
  args = std::move(options.rest);
  return povezava::cli::usePathMap(povezava::engine::programPathMapSources(std::move(options.maps)), console);
}

constexpr Command kCommands[] = {
    {"list",
     "  list FILE [--all]\n"
     "      The tables of a database, one per line: name, kind (local, linked, odbc),\n"
     "      link string. --all includes the system tables.\n",
     &povezava::cli::runList, true},
    {"check",
     "  check [--json] FILE...\n"
     "      For every linked table of each front-end: does its back-end resolve (file\n"
     "      found, a database, holds the table)? One line per table: file, table, ok or\n"
     "      error NUMBER: DESCRIPTION. Flags ODBC links with a password in plain text.\n"
     "      A relative back-end path is resolved against the current folder, and\n"
     "      the line says so.\n",
     &povezava::cli::runCheck, true},
    {"relink",
     "  relink FILE TABLE=LINK [TABLE=LINK ...]\n"
     "      Re-point the named tables of one front-end to the link strings given.\n"
     "  relink FILE... --backend LOCATION\n"
     "      Re-point PARTNER, KONTI and NALOGI of each front-end to LOCATION: a folder\n"
     "      holding PARTNER.MDB and querno.MDB, or the path of the partner database.\n"
     "  relink FILE... --beside\n"
     "      The same, with each front-end's own folder as the location.\n"
     "  relink FILE... --replace OLD=NEW\n"
     "      Every linked table whose back-end path begins with the folders OLD (whole\n"
     "      names, \\ and / alike, ignoring case) gets that beginning replaced by NEW;\n"
     "      the other linked tables are left alone.\n"
     "  relink FILE... --folder NEW\n"
     "      Every linked (Jet/ACE) table whose back-end file name is in the folder\n"
     "      NEW (letter case ignored) is re-pointed to NEW and that file name; the\n"
     "      others are left alone.\n"
     "      Every form takes --dry-run (write nothing, say what would change and\n"
     "      what would fail), --json (one JSON object per file on stdout) and --backup\n"
     "      (first a synced copy FILE.YYYYMMDD-HHMMSS.bak beside each front-end; one\n"
     "      whose copy cannot be made is not relinked). A relative LOCATION or NEW\n"
     "      is made absolute; inside a folder of the path map it is written in its\n"
     "      Windows form.\n"
     "      A front-end's tables are relinked all together or not at all: every\n"
     "      back-end and the front-end are checked first, and one failure holds the\n"
     "      others back (\"held back\"); --each-table relinks table by table instead.\n"
     "      A link into a Windows drive or share is not replaced by a path of this\n"
     "      computer (other PCs could not follow it) unless --local-paths is given.\n",
     &povezava::cli::runRelink, true},
    {"recover",
     "  recover FILE...\n"
     "      Undo on disk what a relink cut short (a crash, a kill) left in each\n"
     "      front-end. The other commands show such a file as it was before and say\n"
     "      so; relink does this by itself. A journal that does not fit its file is\n"
     "      moved aside (FILE.povezava-journal.stale-TIME) and the file left alone.\n",
     &povezava::cli::runRecover, true},
    {"paths",
     "  paths\n"
     "      The Windows path map: Windows prefix, local folder, and where the pair\n"
     "      comes from. list, check and relink take --map 'WINDOWS=LOCAL' (repeatable)\n"
     "      before the paths files $XDG_CONFIG_HOME/povezava/paths (~/.config/...)\n"
     "      and /etc/povezava/paths (one WINDOWS = LOCAL a line, # comments on lines\n"
     "      of their own) and the SMB/CIFS mounts of this computer. POVEZAVA_PATHS,\n"
     "      when set, names the paths files to read instead (\":\" between them).\n",
     &paths},
    {"make-demo",
     "  make-demo FOLDER [--jet3] [--queries N] [--data-bytes N]\n"
     "      A demo front-end FOLDER/TQ.mdb and its back-ends in FOLDER/data.\n",
     &makeDemo},
};

void help(std::ostream& out) {
  out << "usage: povezava-cli COMMAND [ARGS]\n"
         "       povezava-cli --help | --version\n\n"
         "Lists, checks and re-points the linked tables of Access front-end databases\n"
         "(.mdb, .accdb). Results go to stdout, messages and summaries to stderr.\n"
         "Exit status: 0 when everything asked for was done, 1 when anything failed,\n"
         "2 for wrong arguments.\n\ncommands:\n";
  for (const Command& c : kCommands) out << c.help;
}

bool stderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) == 1;
#endif
}

// `argv` without the program's name.
int run(const std::vector<std::string>& argv) {
  std::ios::sync_with_stdio(false);
  if (argv.empty()) {
    help(std::cerr);
    return 2;
  }
  const std::string_view name = argv[0];
  if (name == "--version") {
    std::cout << "povezava-cli " << POVEZAVA_VERSION << '\n';
    return 0;
  }
  if (name == "--help" || name == "-h" || name == "help") {
    help(std::cout);
    return 0;
  }
  std::vector<std::string> args(argv.begin() + 1, argv.end());
  // Names are kept as UTF-16 text: one of other bytes would be turned into
  // another name (and written so into a link).
  for (const std::string& arg : args) {
    if (povezava::engine::isValidUtf8(arg)) continue;
    std::cerr << "povezava-cli: error " << povezava::engine::kErrNotRepresentable << ": '"
              << povezava::engine::shownBytes(arg)
              << "' is not valid UTF-8 text: povezava cannot name that file or folder, nor write it into a "
                 "link. Rename it, or give another name for it (a symbolic link).\n";
    return 2;
  }
  for (const Command& c : kCommands) {
    if (c.name != name) continue;
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
      std::cout << "usage: povezava-cli\n" << c.help;
      return 0;
    }
    // The one engine of this run, over the real file system. One run: a file
    // read once is not read again while it is unchanged (on a share every
    // read is a round trip).
    povezava::links::Program program(povezava::engine::posixFileSystem(),
                                     povezava::links::Program::Readings::keptForTheRun);
    Console console{std::cout, std::cerr, stderrIsTerminal(), &program};
    if (c.pathMap) {
      if (const std::optional<int> failed = loadPathMap(c.name, args, console)) return *failed;
    }
    return c.run(args, console);
  }
  std::cerr << "povezava-cli: unknown command '" << name << "'\n";
  help(std::cerr);
  return 2;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  ::SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(povezava::engine::utf8FromWide(argv[i]));
  return run(args);
}
#else
int main(int argc, char** argv) { return run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
