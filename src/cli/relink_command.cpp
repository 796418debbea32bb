#include "cli/relink_command.h"

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/backup.h"
#include "cli/batch.h"
#include "cli/json.h"
#include "cli/odbc_password.h"
#include "cli/relink_files.h"
#include "base/unicode.h"
#include "engine/write_batch.h"
#include "links/link_location.h"
#include "links/startup.h"

namespace povezava::cli {
namespace {

using engine::Status;

constexpr char kUsage[] =
    "usage: povezava-cli relink FILE TABLE=LINK [TABLE=LINK ...] [--dry-run] [--json] [--backup]\n"
    "       povezava-cli relink FILE... --backend LOCATION [--dry-run] [--json] [--backup]\n"
    "       povezava-cli relink FILE... --beside [--dry-run] [--json] [--backup]\n"
    "       povezava-cli relink FILE... --replace OLD=NEW [--dry-run] [--json] [--backup]\n"
    "       povezava-cli relink FILE... --folder NEW [--dry-run] [--json] [--backup]\n"
    "       (each takes --map WINDOWS=LOCAL, repeatable, --each-table and --local-paths)\n";

// Front-ends relinked before their writes are stored together; their results
// wait for that. Bounds the memory and the files kept open.
constexpr std::size_t kFilesPerCommit = 64;

enum class Mode { pairs, backend, beside, replace, folder };

struct Options {
  Mode mode = Mode::pairs;
  std::string backend;
  std::string oldPrefix;
  std::string newPrefix;
  std::string folder;
  bool dryRun = false;
  bool json = false;
  bool backup = false;
  links::RelinkOptions relink;  // --each-table, --local-paths; dryRun mirrors --dry-run
  std::string stamp;  // of this run's backup copies
  std::vector<std::string> positional;
};

int usageError(Console& console, const std::string& why) {
  console.err << "povezava-cli relink: " << why << '\n' << kUsage;
  return 2;
}

bool isPair(const std::string& arg) {
  const std::size_t eq = arg.find('=');
  return eq != std::string::npos && eq > 0 && !arg.starts_with("--");
}

// Parses the arguments; a message for the user when they make no sense.
std::optional<std::string> parse(std::span<const std::string> args, Options& options) {
  int modes = 0;
  bool optionsEnd = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnd || !arg.starts_with("--")) {
      options.positional.push_back(arg);
      continue;
    }
    // --name VALUE or --name=VALUE
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    auto value = [&]() -> std::optional<std::string> {
      if (eq != std::string::npos) return arg.substr(eq + 1);
      if (i + 1 < args.size()) return args[++i];
      return std::nullopt;
    };
    if (arg == "--") {
      optionsEnd = true;
    } else if (arg == "--dry-run") {
      options.dryRun = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--backup") {
      options.backup = true;
    } else if (arg == "--each-table") {
      options.relink.eachTable = true;
    } else if (arg == "--local-paths") {
      options.relink.localPaths = true;
    } else if (arg == "--beside") {
      options.mode = Mode::beside;
      ++modes;
    } else if (name == "--backend") {
      auto location = value();
      if (!location) return "--backend needs a LOCATION";
      options.mode = Mode::backend;
      options.backend = *location;
      ++modes;
    } else if (name == "--folder") {
      auto folder = value();
      if (!folder || folder->empty()) return "--folder needs the folder NEW";
      options.mode = Mode::folder;
      options.folder = *folder;
      ++modes;
    } else if (name == "--replace") {
      auto pair = value();
      if (!pair) return "--replace needs OLD=NEW";
      const std::size_t split = pair->find('=');
      if (split == std::string::npos) return "--replace needs OLD=NEW, got '" + *pair + "'";
      options.oldPrefix = pair->substr(0, split);
      options.newPrefix = pair->substr(split + 1);
      if (options.oldPrefix.empty()) return "the OLD of --replace OLD=NEW must not be empty";
      options.mode = Mode::replace;
      ++modes;
    } else {
      return "unknown option '" + arg + "'";
    }
  }
  if (modes > 1) return "give only one of --backend, --beside, --replace and --folder";
  options.relink.dryRun = options.dryRun;
  // "S:\DATA2\" and "/x/DATA2/" name the folder as "S:\DATA2" does: the file
  // name comes with its own "\", so a final separator would double.
  while (options.backend.size() > 1 && (options.backend.back() == '\\' || options.backend.back() == '/')) {
    options.backend.pop_back();
  }
  if (options.mode == Mode::backend &&
      !links::sortsAfterSpace(engine::fromUtf8(options.backend))) {
    return "the back-end location is empty";
  }
  if (options.mode != Mode::pairs) {
    if (options.positional.empty()) return "no front-end files given";
    return std::nullopt;
  }
  if (options.positional.size() < 2 || !isPair(options.positional[1])) {
    return "give --backend LOCATION, --beside, --replace OLD=NEW, --folder NEW, or TABLE=LINK pairs "
           "after the file";
  }
  for (std::size_t i = 1; i < options.positional.size(); ++i) {
    if (!isPair(options.positional[i])) return "'" + options.positional[i] + "' is not TABLE=LINK";
  }
  return std::nullopt;
}

std::string jsonReport(const std::string& file, const FileChanges& changes, bool dryRun) {
  JsonWriter json;
  json.beginObject().key("file").argument(file).key("dryRun").boolean(dryRun).key("error");
  if (changes.status.ok()) {
    json.null();
  } else {
    writeStatus(json, changes.status);
  }
  if (!changes.backup.empty()) json.key("backup").argument(changes.backup);
  // "changed" says what was done; a dry run does nothing and says what it
  // would change in "wouldChange", for the file and for each table.
  json.key("changed").boolean(!dryRun && changes.changed());
  if (dryRun) json.key("wouldChange").boolean(changes.changed());
  json.key("tables").beginArray();
  for (const TableChange& table : changes.tables) {
    json.beginObject().key("table").text(table.table);
    json.key("from").text(maskPasswords(table.from)).key("to").text(maskPasswords(table.to));
    json.key("status").argument(outcomeName(table.outcome));
    if (dryRun) json.key("wouldChange").boolean(table.outcome == Outcome::wouldRelink && table.from != table.to);
    if (!table.status.ok()) {
      json.key("error");
      writeStatus(json, table.status);
    }
    json.endObject();
  }
  json.endArray().endObject();
  return json.str() + '\n';
}

std::string outcomeText(const TableChange& table) {
  return table.outcome == Outcome::failed ? table.status.toString()
                                          : std::string(outcomeName(table.outcome));
}

// A link string as printed: one field, any password in it masked.
std::string shown(const std::u16string& link) { return oneField(engine::toUtf8(maskPasswords(link))); }

// file \t table \t outcome \t from \t to
std::string textReport(const std::string& file, const FileChanges& changes) {
  const std::string field = oneField(file);
  if (!changes.status.ok() && changes.tables.empty()) {
    return field + "\t\t" + changes.status.toString() + '\n';
  }
  std::string text;
  for (const TableChange& table : changes.tables) {
    text += field + '\t' + oneField(engine::toUtf8(table.table)) + '\t' + outcomeText(table) + '\t' +
            shown(table.from) + '\t' + shown(table.to) + '\n';
  }
  if (!changes.status.ok()) text += field + "\t\t" + changes.status.toString() + '\n';
  return text;
}

// "TABLE: relinked" / "TABLE: error NUMBER: DESCRIPTION", one per pair.
std::string pairsReport(const FileChanges& changes) {
  std::string text;
  for (const TableChange& table : changes.tables) {
    text += engine::toUtf8(table.table) + ": " + outcomeText(table) + '\n';
  }
  return text;
}

// A relink's writes are stored when its batch commits: when that failed, so
// did every table the relink reported done.
void settle(FileChanges& changes, const Status& stored) {
  if (stored.ok()) return;
  for (TableChange& table : changes.tables) {
    if (table.outcome == Outcome::relinked) {
      table.outcome = Outcome::failed;
      table.status = stored;
    }
  }
}

// With --backup (and not a dry run), the front-end's copy first: without one
// it is not relinked and the failure is the file's. The copy is announced on
// stderr in text mode (stdout keeps one line per table).
// The copy is read through `fs`, the batch the relink writes through: it
// binds the name to the file copied until the commit.
FileChanges relinkBackedUp(const Options& options, const std::string& file, Console& console,
                           engine::FileSystem& fs, const std::function<FileChanges()>& relink) {
  if (!options.backup || options.dryRun) return relink();
  links::Program& program = *console.program;
  engine::EngineSetup setup = program.setup();
  setup.fileSystem = &fs;
  auto copy = backUp(setup, program.fileSystem(), engine::fromUtf8(file), options.stamp);
  if (!copy) return FileChanges{copy.status(), {}, {}};
  if (!options.json) console.err << "povezava-cli: " << oneField(file) << ": backup " << oneField(*copy) << '\n';
  FileChanges changes = relink();
  changes.backup = std::move(*copy);
  return changes;
}

int runPairs(const Options& options, Console& console) {
  std::vector<LinkRequest> requests;
  for (std::size_t i = 1; i < options.positional.size(); ++i) {
    const std::string& pair = options.positional[i];
    const std::size_t eq = pair.find('=');
    requests.push_back({engine::fromUtf8(pair.substr(0, eq)), engine::fromUtf8(pair.substr(eq + 1))});
    // Stored as given, but a relative path works only from here.
    if (const auto notice = links::relativeLinkNotice(requests.back().link,
                                                      links::LinkPlace::here(console.program->pathMap()))) {
      console.err << "povezava-cli relink: " << pair.substr(0, eq) << ": " << *notice << '\n';
    }
  }
  const std::string& file = options.positional[0];
  const auto batch = engine::makeWriteBatch(console.program->setup());
  batch->beginUnit();
  FileChanges changes = relinkBackedUp(options, file, console, batch->fileSystem(), [&] {
    return relinkRequested(batch->engine(), engine::fromUtf8(file), requests, options.relink);
  });
  settle(changes, batch->commit().front());
  if (options.json) {
    console.out << jsonReport(file, changes, options.dryRun);
  } else {
    console.out << pairsReport(changes);
    if (!changes.status.ok()) console.err << changes.status.toString() << '\n';
  }
  console.out.flush();
  return changes.failures() == 0 ? 0 : 1;
}

FileChanges relinkOne(const Options& options, const std::string& file, links::Program& program,
                      engine::DBEngine& engine, const std::optional<FolderTarget>& folder) {
  const std::u16string frontEnd = engine::fromUtf8(file);
  switch (options.mode) {
    case Mode::backend:
      return relinkToLocation(engine, program.pathMap(), frontEnd, engine::fromUtf8(options.backend),
                              options.relink);
    case Mode::beside: {
      auto location = besideLocation(program, frontEnd);
      if (!location) return FileChanges{location.status(), {}, {}};
      return relinkToLocation(engine, program.pathMap(), frontEnd, *location, options.relink);
    }
    case Mode::replace:
      return relinkReplacing(engine, frontEnd, engine::fromUtf8(options.oldPrefix),
                             engine::fromUtf8(options.newPrefix), options.relink);
    case Mode::folder: return relinkToFolder(program, engine, frontEnd, *folder, options.relink);
    case Mode::pairs: break;
  }
  return {};
}

}  // namespace

int runRelink(std::span<const std::string> args, Console& console) {
  Options options;
  if (auto why = parse(args, options)) return usageError(console, *why);
  options.stamp = backupStamp(std::time(nullptr));
  if (options.mode == Mode::pairs) return runPairs(options, console);
  std::optional<FolderTarget> folder;
  if (options.mode == Mode::folder) {
    auto target = folderTarget(*console.program, engine::fromUtf8(options.folder));
    if (!target) return usageError(console, "--folder: " + target.status().toString());
    folder = std::move(*target);
  }

  // Writes are held in a batch and stored every kFilesPerCommit front-ends
  // (a dry run writes nothing: no batch).
  std::unique_ptr<engine::WriteBatch> batch;
  links::Program& program = *console.program;
  if (!options.dryRun) batch = engine::makeWriteBatch(program.setup());
  engine::DBEngine& engine = batch ? batch->engine() : program.engine();

  struct Relinked {
    const std::string* file;
    FileChanges changes;
  };
  std::vector<Relinked> pending;
  std::size_t changedFiles = 0;
  std::size_t done = 0;
  std::size_t failures = 0;
  std::size_t heldBack = 0;
  std::size_t failedFiles = 0;
  std::size_t reported = 0;
  Progress progress(console, options.positional.size());
  auto report = [&] {
    const std::vector<Status> stored = batch ? batch->commit() : std::vector<Status>(pending.size());
    progress.clear();
    for (std::size_t i = 0; i < pending.size(); ++i) {
      FileChanges& changes = pending[i].changes;
      settle(changes, stored[i]);
      if (changes.changed()) ++changedFiles;
      done += changes.done();
      failures += changes.failures();
      heldBack += changes.count(Outcome::heldBack);
      if (changes.failures() > 0) ++failedFiles;
      console.out << (options.json ? jsonReport(*pending[i].file, changes, options.dryRun)
                                   : textReport(*pending[i].file, changes));
    }
    console.out.flush();
    reported += pending.size();
    pending.clear();
  };
  for (const std::string& file : options.positional) {
    progress.show(reported + pending.size(), failedFiles);
    if (batch) batch->beginUnit();
    pending.push_back(
        {&file, relinkBackedUp(options, file, console, batch ? batch->fileSystem() : program.fileSystem(),
                               [&] { return relinkOne(options, file, program, engine, folder); })});
    if (pending.size() >= (batch ? kFilesPerCommit : 1)) report();
  }
  report();
  progress.clear();

  const std::size_t files = options.positional.size();
  console.err << "povezava-cli: " << (options.dryRun ? "dry run, nothing written: " : "") << files
              << (files == 1 ? " file, " : " files, ") << changedFiles
              << (options.dryRun ? " would change, " : " changed, ") << done
              << (done == 1 ? " table" : " tables") << (options.dryRun ? " would be relinked, " : " relinked, ")
              << (heldBack > 0 ? std::to_string(heldBack) + " held back, " : std::string())
              << failures << (failures == 1 ? " failure\n" : " failures\n");
  return failures == 0 ? 0 : 1;
}

}  // namespace povezava::cli
