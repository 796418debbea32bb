#include "cli/relink_files.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <utility>

#include "engine/case_fold.h"
#include "engine/link_path.h"
#include "engine/native_text.h"
#include "engine/path_resolver.h"
#include "engine/recovery.h"
#include "engine/unicode.h"
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

// One table, outside the linked-table set: write the link string, then store
// it (or, in a dry run, only check the back-end it names). A refused link
// string is not followed by a refresh: that would re-store the old link, which
// nobody asked for.
TableChange applyLink(engine::TableDef& table, std::u16string link, bool dryRun) {
  TableChange change{table.name(), currentLink(table), std::move(link), Outcome::failed, {}};
  change.status = table.setConnect(change.to);
  if (change.status.ok()) change.status = dryRun ? table.checkLink() : table.refreshLink();
  if (change.status.ok()) change.outcome = dryRun ? Outcome::wouldRelink : Outcome::relinked;
  return change;
}

// Ends the use of the front-end; a failing close is the file's failure.
void closeDatabase(engine::Database& db, FileChanges& changes) {
  if (Status closed = db.close(); !closed.ok() && changes.status.ok()) changes.status = closed;
}

// A dry run's "would relink" holds only if the real run could write the file
// now: otherwise each such table gets the error the real run would report.
void checkWritable(std::u16string_view frontEnd, FileChanges& changes) {
  if (changes.count(Outcome::wouldRelink) == 0) return;
  const Status writable = engine::checkFrontEndWritable(engine::posixFileSystem(), frontEnd);
  if (writable.ok()) return;
  for (TableChange& table : changes.tables) {
    if (table.outcome != Outcome::wouldRelink) continue;
    table.outcome = Outcome::failed;
    table.status = writable;
  }
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
    engine::DBEngine& engine, std::u16string_view frontEnd, bool dryRun,
    const std::function<Repoint(const engine::TableDef&, const std::u16string&)>& repoint) {
  FileChanges changes;
  auto db = engine.openDatabase(frontEnd);
  if (!db) {
    changes.status = db.status();
    return changes;
  }
  auto tables = (*db)->tableDefs();
  if (!tables) changes.status = tables.status();
  for (std::size_t i = 0; tables && i < (*tables)->count(); ++i) {
    const auto table = (*tables)->at(i);
    const auto path = table->backendPath();
    if (!path) continue;
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
          changes.tables.push_back(applyLink(*table, std::move(*link), dryRun));
        }
        break;
      }
    }
  }
  closeDatabase(**db, changes);
  if (dryRun) checkWritable(frontEnd, changes);
  return changes;
}

}  // namespace

std::string_view outcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::relinked: return "relinked";
    case Outcome::wouldRelink: return "would relink";
    case Outcome::absent: return "absent";
    case Outcome::leftAlone: return "left alone";
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

FileChanges relinkToLocation(engine::DBEngine& engine, std::u16string_view frontEnd,
                             std::u16string_view location, bool dryRun) {
  FileChanges changes;
  links::WindowState state;
  links::WindowTexts texts;
  texts.ImeBaze = frontEnd;
  links::InspectionSteps steps;
  // The program's folder only feeds the proposals, which the location replaces.
  changes.status = links::inspectLinks(engine, u"", state, texts, &steps);
  if (!changes.status.ok()) return changes;
  links::applyBackendLocation(location, texts);

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
    if (dryRun) {
      changes.tables.push_back(applyLink(*table, link, true));
    } else {
      changes.tables.push_back({table->name(), currentLink(*table), link, Outcome::relinked, {}});
    }
  }
  if (!dryRun) {
    // The window's relinking, as it is: every bound slot written and refreshed.
    const auto failures = links::relinkTables(state, texts);
    for (const links::RelinkFailure& failure : failures) {
      for (TableChange& change : changes.tables) {
        if (change.outcome == Outcome::relinked && change.table == failure.table) {
          change.outcome = Outcome::failed;
          change.status = failure.status;  // the first failure of that table
        }
      }
    }
  }
  if (Status closed = links::unloadLinks(state); !closed.ok() && changes.status.ok()) {
    changes.status = closed;
  }
  if (dryRun) checkWritable(frontEnd, changes);
  return changes;
}

engine::Result<std::u16string> besideLocation(std::u16string_view frontEnd) {
  auto path = engine::resolveDatabasePath(engine::posixFileSystem(), frontEnd);
  if (!path) return path.status();
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(engine::pathFromUtf8(*path), error);
  if (error) return engine::errors::fromErrorCode(*path, error);
  return engine::fromUtf8(engine::utf8Of(absolute.lexically_normal().parent_path()));
}

FileChanges relinkReplacing(engine::DBEngine& engine, std::u16string_view frontEnd,
                            std::u16string_view oldPrefix, std::u16string_view newPrefix,
                            bool dryRun) {
  const auto repoint = [&](const engine::TableDef&, const std::u16string& path) {
    if (!engine::startsWithIgnoringCase(path, oldPrefix)) return Repoint{};
    std::u16string moved(newPrefix);
    moved += std::u16string_view(path).substr(oldPrefix.size());
    return Repoint{Repoint::Kind::to, std::move(moved), {}};
  };
  return relinkEachLinked(engine, frontEnd, dryRun, repoint);
}

engine::Result<FolderTarget> folderTarget(std::u16string_view folder) {
  auto local = engine::resolveDatabasePath(engine::posixFileSystem(), folder);
  if (!local) return local.status();
  auto info = engine::posixFileSystem().info(*local);
  if (!info) return info.status();
  if (!info->isFolder) {
    return Status{engine::kErrNotValidPath, "'" + engine::toUtf8(folder) + "' is not a folder."};
  }
  std::u16string location = links::linkLocation(folder);
  // The file name comes with its own "\"; a drive's root stays "S:".
  while (location.size() > 1 && (location.back() == u'\\' || location.back() == u'/')) {
    location.pop_back();
  }
  return FolderTarget{std::move(location), std::move(*local)};
}

FileChanges relinkToFolder(engine::DBEngine& engine, std::u16string_view frontEnd,
                           const FolderTarget& folder, bool dryRun) {
  const auto repoint = [&](const engine::TableDef& table, const std::u16string& path) {
    const Repoint leaveAlone{Repoint::Kind::leaveAlone, {}, {}};
    auto link = table.connect();
    // Only links to Jet/ACE files: an ISAM source (a spreadsheet, a text
    // folder) is not a file of the moved data folder.
    const bool jet = link && engine::isJetLink(*link);
    const std::u16string name = text::StripFilepath(path, text::kNativeSeparators);
    if (!jet || name.empty()) return leaveAlone;
    auto found = engine::resolveDatabasePath(engine::posixFileSystem(),
                                             engine::fromUtf8(folder.local) + u"/" + name);
    if (!found) {
      if (found.status().number() == engine::kErrFileNotFound) return leaveAlone;
      return Repoint{Repoint::Kind::fail, {}, found.status()};
    }
    return Repoint{Repoint::Kind::to, folder.location + u"\\" + name, {}};
  };
  return relinkEachLinked(engine, frontEnd, dryRun, repoint);
}

FileChanges relinkRequested(engine::DBEngine& engine, std::u16string_view frontEnd,
                            std::span<const LinkRequest> requests, bool dryRun) {
  FileChanges changes;
  auto db = engine.openDatabase(frontEnd);
  if (!db) {
    changes.status = db.status();
    return changes;
  }
  for (const LinkRequest& request : requests) {
    // The collection is read anew for each table, so each sees the file as
    // the relinks before it left it.
    auto tables = (*db)->tableDefs();
    auto table = tables ? (*tables)->item(request.table) : tables.status();
    if (!table) {
      changes.tables.push_back({request.table, {}, request.link, Outcome::failed, table.status()});
      continue;
    }
    changes.tables.push_back(applyLink(**table, request.link, dryRun));
  }
  closeDatabase(**db, changes);
  if (dryRun) checkWritable(frontEnd, changes);
  return changes;
}

}  // namespace povezava::cli
