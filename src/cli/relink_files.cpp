#include "cli/relink_files.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <utility>

#include "base/case_fold.h"
#include "cli/front_end_tables.h"
#include "engine/link_path.h"
#include "base/native_text.h"
#include "engine/recovery.h"
#include "base/unicode.h"
#include "links/inspection.h"
#include "links/link_location.h"
#include "links/relinking.h"
#include "links/startup.h"
#include "text/path_helpers.h"

namespace povezava::cli {
namespace {

using engine::Status;

std::u16string currentLink(const engine::TableDef& table) {
  auto link = table.connect();
  return link ? std::move(*link) : std::u16string();
}

// Ends the use of the front-end; a failing close is the file's failure.
void closeDatabase(engine::Database& db, FileChanges& changes) {
  if (Status closed = db.close(); !closed.ok() && changes.status.ok()) changes.status = closed;
}

TableChange changeOf(const links::PlanResult& result) {
  TableChange change{result.table, result.from, result.to, Outcome::failed, result.status};
  switch (result.outcome) {
    case links::PlanOutcome::relinked: change.outcome = Outcome::relinked; break;
    case links::PlanOutcome::wouldRelink: change.outcome = Outcome::wouldRelink; break;
    case links::PlanOutcome::heldBack: change.outcome = Outcome::heldBack; break;
    case links::PlanOutcome::failed: break;
  }
  return change;
}

// The planned tables of one front-end, relinked by the shared rule
// (links/relinking.h); their results go to the entries `at` of `changes`,
// which hold the other tables already. A table that failed before it could be
// planned (`changes` has it as failed) holds the planned ones back too,
// unless each table goes on its own.
void relinkPlans(engine::Database& db, std::span<const links::LinkPlan> plans, std::span<const std::size_t> at,
                 const links::RelinkOptions& options, FileChanges& changes) {
  std::string failed;
  for (std::size_t i = 0; i < changes.tables.size(); ++i) {
    const TableChange& change = changes.tables[i];
    if (change.outcome != Outcome::failed || std::find(at.begin(), at.end(), i) != at.end()) continue;
    if (!failed.empty()) failed += ", ";
    failed += engine::toUtf8(change.table);
  }
  links::RelinkOptions asked = options;
  const bool holdBack = !failed.empty() && !options.eachTable;
  if (holdBack) asked.dryRun = true;  // checked and listed, but not written
  links::PlanResults results = links::relinkPlanned(db, plans, asked);
  if (changes.status.ok()) changes.status = results.frontEnd;
  for (std::size_t i = 0; i < results.tables.size(); ++i) {
    TableChange change = changeOf(results.tables[i]);
    if (holdBack && change.outcome == Outcome::wouldRelink) {
      change.outcome = Outcome::heldBack;
      change.status = links::heldBack(failed);
    }
    changes.tables[at[i]] = std::move(change);
  }
}

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// `text` without its final separators ("S:\DATA\" -> "S:\DATA"); a text of
// separators only stays as it is.
std::u16string_view withoutFinalSeparators(std::u16string_view text) {
  std::size_t end = text.size();
  while (end > 0 && isSeparator(text[end - 1])) --end;
  return end == 0 ? text : text.substr(0, end);
}

// Where the rest of `path` begins when `folders` names its leading path
// components whole: "\" and "/" alike, letters compared without regard to
// case ("S:\DATA" covers "s:/data/P.MDB" but not "S:\DATA2\P.MDB"). Nothing
// when it does not.
std::optional<std::size_t> afterLeadingFolders(std::u16string_view path, std::u16string_view folders) {
  const std::u16string_view old = withoutFinalSeparators(folders);
  if (path.size() < old.size()) return std::nullopt;
  for (std::size_t i = 0; i < old.size(); ++i) {
    const bool bothSeparators = isSeparator(path[i]) && isSeparator(old[i]);
    if (!bothSeparators && engine::foldCase(path[i]) != engine::foldCase(old[i])) return std::nullopt;
  }
  if (path.size() > old.size() && !isSeparator(path[old.size()]) && !isSeparator(old.back())) return std::nullopt;
  return old.size();
}

// What becomes of one table linked to a file.
struct Repoint {
  enum class Kind {
    skip,        // not this command's business: not listed
    leaveAlone,  // listed as left alone
    to,          // re-pointed to `path`
    fail,        // `status`
  };
  Kind kind = Kind::skip;
  std::u16string path;
  Status status;
};

// Every table of the front-end that is linked to a file, as `repoint` says
// (given the table and its stored back-end path).
FileChanges relinkEachLinked(
    engine::DBEngine& engine, std::u16string_view frontEnd, const links::RelinkOptions& options,
    const std::function<Repoint(const engine::TableDef&, const std::u16string&)>& repoint) {
  FileChanges changes;
  std::vector<links::LinkPlan> plans;
  std::vector<std::size_t> at;
  const auto each = [&](const std::shared_ptr<engine::TableDef>& table) {
    const auto path = table->backendPath();
    if (!path) return;
    Repoint next = repoint(*table, *path);
    switch (next.kind) {
      case Repoint::Kind::skip: break;
      case Repoint::Kind::leaveAlone:
        changes.tables.push_back({table->name(), currentLink(*table), {}, Outcome::leftAlone, {}});
        break;
      case Repoint::Kind::fail:
        changes.tables.push_back({table->name(), currentLink(*table), {}, Outcome::failed, next.status});
        break;
      case Repoint::Kind::to: {
        auto link = table->linkToBackendPath(next.path);
        if (!link) {
          changes.tables.push_back({table->name(), currentLink(*table), {}, Outcome::failed, link.status()});
        } else {
          at.push_back(changes.tables.size());
          changes.tables.push_back({table->name(), currentLink(*table), *link, Outcome::failed, {}});
          plans.push_back({table, std::move(*link)});
        }
        break;
      }
    }
  };
  const Status walked = forEachTableOf(engine, frontEnd, each, [&](engine::Database& db) {
    if (!plans.empty()) relinkPlans(db, plans, at, options, changes);
  });
  if (!walked.ok() && changes.status.ok()) changes.status = walked;
  return changes;
}

}  // namespace

std::string_view outcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::relinked: return "relinked";
    case Outcome::wouldRelink: return "would relink";
    case Outcome::absent: return "absent";
    case Outcome::leftAlone: return "left alone";
    case Outcome::heldBack: return "held back";
    case Outcome::failed: return "error";
  }
  return "error";
}

std::size_t FileChanges::count(Outcome outcome) const {
  return static_cast<std::size_t>(std::count_if(
      tables.begin(), tables.end(), [outcome](const TableChange& t) { return t.outcome == outcome; }));
}

bool FileChanges::changed() const {
  return std::any_of(tables.begin(), tables.end(), [](const TableChange& t) {
    return (t.outcome == Outcome::relinked || t.outcome == Outcome::wouldRelink) && t.from != t.to;
  });
}

FileChanges relinkToLocation(engine::DBEngine& engine, const engine::PathMap& map, std::u16string_view frontEnd,
                             std::u16string_view location, const links::RelinkOptions& options) {
  FileChanges changes;
  links::WindowState state;
  links::WindowTexts texts;
  texts.ImeBaze = frontEnd;
  links::InspectionSteps steps;
  // The program's folder only feeds the proposals, which the location replaces.
  changes.status = links::inspectLinks(engine, map, u"", state, texts, &steps);
  if (!changes.status.ok()) return changes;
  links::applyBackendLocation(location, texts, map);

  std::vector<links::LinkPlan> plans;
  std::vector<std::size_t> at;
  bool linked = false;
  for (links::Slot slot : {links::kSlotPartner, links::kSlotKonti, links::kSlotNalogi}) {
    const auto& table = state.LinkedTables[slot];
    const std::u16string& link = texts.Text2[links::linkBoxOf(slot)];
    if (!table) {
      const Status& why = steps.bind[slot];
      const bool missing = why.number() == engine::kErrItemNotFound;
      changes.tables.push_back({std::u16string(links::slotTableName(slot)), {}, link,
                                missing ? Outcome::absent : Outcome::failed, missing ? Status() : why});
      continue;
    }
    linked = linked || table->kind() != engine::TableKind::local;
    at.push_back(changes.tables.size());
    changes.tables.push_back({table->name(), currentLink(*table), link, Outcome::failed, {}});
    plans.push_back({table, link});
  }
  if (!plans.empty()) relinkPlans(*state.LinkDb, plans, at, options, changes);
  if (!linked && changes.status.ok()) {
    changes.status = Status{engine::kErrNoLinkedTables,
                            "'" + engine::toUtf8(frontEnd) +
                                "' has none of PARTNER, KONTI and NALOGI as a linked table: nothing to relink."};
  }
  if (Status closed = links::unloadLinks(state); !closed.ok() && changes.status.ok()) {
    changes.status = closed;
  }
  return changes;
}

engine::Result<std::u16string> besideLocation(links::Program& program, std::u16string_view frontEnd) {
  auto path = program.paths().resolve(program.fileSystem(), frontEnd);
  if (!path) return path.status();
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(engine::pathFromUtf8(*path), error);
  if (error) return engine::errors::fromErrorCode(*path, error);
  const std::string folder = engine::utf8Of(absolute.lexically_normal().parent_path());
  if (!engine::isValidUtf8(folder)) {
    return Status{engine::kErrNotRepresentable, "The folder '" + engine::shownBytes(folder) +
                                                    "' is not named in valid UTF-8 text: povezava cannot write it "
                                                    "into a link."};
  }
  return engine::fromUtf8(folder);
}

FileChanges relinkReplacing(engine::DBEngine& engine, std::u16string_view frontEnd,
                            std::u16string_view oldPrefix, std::u16string_view newPrefix,
                            const links::RelinkOptions& options) {
  const auto repoint = [&](const engine::TableDef&, const std::u16string& path) {
    const auto rest = afterLeadingFolders(path, oldPrefix);
    if (!rest) return Repoint{Repoint::Kind::leaveAlone, {}, {}};
    std::u16string moved(withoutFinalSeparators(newPrefix));
    moved += std::u16string_view(path).substr(*rest);
    return Repoint{Repoint::Kind::to, std::move(moved), {}};
  };
  return relinkEachLinked(engine, frontEnd, options, repoint);
}

engine::Result<FolderTarget> folderTarget(links::Program& program, std::u16string_view folder) {
  auto local = program.paths().resolve(program.fileSystem(), folder);
  if (!local) return local.status();
  auto info = program.fileSystem().info(*local);
  if (!info) return info.status();
  if (!info->isFolder) {
    return Status{engine::kErrNotValidPath, "'" + engine::toUtf8(folder) + "' is not a folder."};
  }
  std::u16string location = links::linkLocation(folder, links::LinkPlace::here(program.pathMap()));
  // The file name comes with its own "\"; a drive's root stays "S:".
  while (location.size() > 1 && (location.back() == u'\\' || location.back() == u'/')) {
    location.pop_back();
  }
  return FolderTarget{std::move(location), std::move(*local)};
}

FileChanges relinkToFolder(links::Program& program, engine::DBEngine& engine, std::u16string_view frontEnd,
                           const FolderTarget& folder, const links::RelinkOptions& options) {
  const auto repoint = [&](const engine::TableDef& table, const std::u16string& path) {
    const Repoint leaveAlone{Repoint::Kind::leaveAlone, {}, {}};
    auto link = table.connect();
    // Only links to Jet/ACE files: an ISAM source (a spreadsheet, a text
    // folder) is not a file of the moved data folder.
    const bool jet = link && engine::isJetLink(*link);
    const std::u16string name = text::StripFilepath(path, text::kNativeSeparators);
    if (!jet || name.empty()) return leaveAlone;
    auto found = program.paths().resolve(program.fileSystem(), engine::fromUtf8(folder.local) + u"/" + name);
    if (!found) {
      if (found.status().number() == engine::kErrFileNotFound) return leaveAlone;
      return Repoint{Repoint::Kind::fail, {}, found.status()};
    }
    return Repoint{Repoint::Kind::to, folder.location + u"\\" + name, {}};
  };
  return relinkEachLinked(engine, frontEnd, options, repoint);
}

FileChanges relinkRequested(engine::DBEngine& engine, std::u16string_view frontEnd,
                            std::span<const LinkRequest> requests, const links::RelinkOptions& options) {
  FileChanges changes;
  auto db = engine.openDatabase(frontEnd);
  if (!db) {
    changes.status = db.status();
    return changes;
  }
  std::vector<links::LinkPlan> plans;
  std::vector<std::size_t> at;
  auto tables = (*db)->tableDefs();
  for (const LinkRequest& request : requests) {
    auto table = tables ? (*tables)->item(request.table) : tables.status();
    if (!table) {
      changes.tables.push_back({request.table, {}, request.link, Outcome::failed, table.status()});
      continue;
    }
    at.push_back(changes.tables.size());
    changes.tables.push_back({(*table)->name(), currentLink(**table), request.link, Outcome::failed, {}});
    plans.push_back({*table, request.link});
  }
  if (!plans.empty()) relinkPlans(**db, plans, at, options, changes);
  closeDatabase(**db, changes);
  return changes;
}

}  // namespace povezava::cli
