#include "cli/relink_files.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "engine/case_fold.h"
#include "engine/native_text.h"
#include "engine/path_resolver.h"
#include "engine/unicode.h"
#include "links/inspection.h"
#include "links/relinking.h"
#include "links/startup.h"

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

}  // namespace

std::string_view outcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::relinked: return "relinked";
    case Outcome::wouldRelink: return "would relink";
    case Outcome::absent: return "absent";
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
  FileChanges changes;
  auto db = engine.openDatabase(frontEnd);
  if (!db) {
    changes.status = db.status();
    return changes;
  }
  auto tables = (*db)->tableDefs();
  if (!tables) {
    changes.status = tables.status();
  } else {
    for (std::size_t i = 0; i < (*tables)->count(); ++i) {
      const auto table = (*tables)->at(i);
      const auto path = table->backendPath();
      if (!path || !engine::startsWithIgnoringCase(*path, oldPrefix)) continue;
      std::u16string moved(newPrefix);
      moved += std::u16string_view(*path).substr(oldPrefix.size());
      auto link = table->linkToBackendPath(moved);
      if (!link) {
        changes.tables.push_back({table->name(), currentLink(*table), {}, Outcome::failed, link.status()});
        continue;
      }
      changes.tables.push_back(applyLink(*table, std::move(*link), dryRun));
    }
  }
  closeDatabase(**db, changes);
  return changes;
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
  return changes;
}

}  // namespace povezava::cli
