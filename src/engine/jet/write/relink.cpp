#include "engine/jet/write/relink.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "base/case_fold.h"
#include "base/errors.h"
#include "engine/jet/read/catalog.h"
#include "engine/jet/write/link_writer.h"
#include "engine/link_path.h"
#include "engine/named_file.h"
#include "engine/readings.h"
#include "base/unicode.h"

namespace povezava::engine::jet {
namespace {

// A link string whose back-end holds the table, split (link_path.h).
struct VerifiedLink {
  std::u16string prefix;    // before "DATABASE=": ";" for a Jet back-end, or an ISAM's
  std::u16string database;  // after it, exactly as given
};

// `status` with the platform path it names replaced by the path as the link
// gives it: the user knows the link, not what povezava made of it.
Status namingTheLink(const Status& status, const std::string& path, const std::string& shown) {
  std::string text = status.description();
  const std::string quotedPath = "'" + path + "'";
  if (const std::size_t at = text.find(quotedPath); at != std::string::npos && path != shown) {
    text.replace(at, quotedPath.size(), "'" + shown + "' ('" + path + "' here)");
  }
  return status.withDescription(std::move(text));
}

bool holdsTable(const std::vector<std::u16string>& tables, std::u16string_view table) {
  return std::any_of(tables.begin(), tables.end(),
                     [&](const std::u16string& name) { return equalsIgnoringCase(name, table); });
}

// The answer for `table` from a back-end's table names.
Status answerFrom(const std::vector<std::u16string>& tables, const std::u16string& table, const std::string& shown) {
  if (holdsTable(tables, table)) return Status::success();
  return errors::objectNotFound(toUtf8(table), shown);
}

// Opens the back-end read-only and finds the table in it: the same checks,
// numbers and wording as the Jet engine's RefreshLink. While readings are
// kept (`readings` not null), a back-end read for one table answers for the
// next without being opened again, and one confirmed through `database`
// answers for it again without a question (its other tables, the relink
// that follows the check).
Status verifyBackEnd(JetDatabase& database, const std::u16string& link, const std::u16string& table) {
  FileSystem& fs = database.fileSystem();
  KeptReadings* readings = database.readings();
  const std::string shown = toUtf8(link);
  if (link.empty()) return errors::notValidPath(shown);
  const bool keeping = readings != nullptr;
  if (keeping) {
    if (const auto* tables = database.confirmedBackEnd(link)) return answerFrom(*tables, table, shown);
  }
  if (const auto led = keeping ? readings->ledTo(link) : std::nullopt) {
    // The same link again: one question answers where it leads (the path
    // found for it before, still there) and whether the reading stands.
    auto now = fs.info(*led);
    if (now && now->exists) {
      if (auto tables = readings->backEndTables(*led, *now)) {
        database.confirmBackEnd(link, *tables);
        return answerFrom(*tables, table, shown);
      }
    }
  }
  // A back-end read before under another link (asked about, not opened), or
  // the file itself.
  std::optional<std::vector<std::u16string>> known;
  auto named = openNamed(fs, database.paths(), link, [&](const std::string& path) -> Result<std::unique_ptr<File>> {
    if (keeping && readings->knowsBackEnd(path)) {
      auto now = fs.info(path);
      if (now && now->exists && (known = readings->backEndTables(path, *now))) return std::unique_ptr<File>();
    }
    auto file = fs.open(path, OpenMode::readOnly);
    if (!file) return namingTheLink(file.status(), path, shown);
    return file;
  });
  if (!named) return named.status();
  if (known) {
    readings->leadsTo(link, named->path);
    database.confirmBackEnd(link, *known);
    return answerFrom(*known, table, shown);
  }
  std::optional<ReadingStamp> stamp;
  if (keeping) {
    auto now = named->file->info();
    if (!now) return now.status();
    stamp = stampOf(readings, *now);
  }
  auto jet = stamp ? JetFile::open(std::move(named->file), shown, stamp->info.size)
                   : JetFile::open(std::move(named->file), shown);
  if (!jet) return jet.status();
  auto catalog = Catalog::open(**jet);
  if (!catalog) return catalog.status();
  if (stamp) {
    // Every table's name, for the tables asked for later. A catalogue that
    // cannot be read whole is asked for this table alone, as without.
    if (auto tables = catalog->tables(); tables.ok()) {
      std::vector<std::u16string> names;
      names.reserve(tables->size());
      for (CatalogTable& t : *tables) names.push_back(std::move(t.name));
      database.confirmBackEnd(link, names);
      readings->keepBackEnd(named->path, *stamp, names);
      readings->leadsTo(link, named->path);
      return answerFrom(names, table, shown);
    }
  }
  auto found = catalog->findTable(table);
  if (!found) return found.status();
  if (*found) return Status::success();
  return errors::objectNotFound(toUtf8(table), shown);
}

// The table's link (pending, else stored), split, once its back-end is known
// to hold the table.
Result<VerifiedLink> verifiedLink(JetDatabase& database, const JetTableDef& table) {
  const CatalogTable& row = table.catalogRow();
  if (row.kind() == TableKind::odbc) {
    return errors::notSupported("the ODBC link '" + toUtf8(row.name) +
                                "' names no file; povezava re-points links to database files");
  }
  const std::u16string link = table.pendingConnect().value_or(row.composedConnect());
  const auto parts = splitLink(link);
  if (!parts) return errors::noInstallableIsam(toUtf8(link));
  VerifiedLink verified{std::u16string(parts->prefix), std::u16string(parts->path)};
  const std::u16string foreign = row.foreignName.value_or(row.name);
  if (Status s = verifyBackEnd(database, verified.database, foreign); !s.ok()) {
    return s;
  }
  return verified;
}

}  // namespace

Status checkLink(JetDatabase& database, const JetTableDef& table) {
  return verifiedLink(database, table).status();
}

Status refreshLink(JetDatabase& database, JetTableDef& table) {
  const CatalogTable& row = table.catalogRow();
  // Nothing is written before the back-end is known to hold the table.
  auto parts = verifiedLink(database, table);
  if (!parts) return parts.status();

  // A Jet back-end keeps Connect empty (NULL stays NULL, "" stays ""); another
  // prefix is stored as the table's Connect.
  LinkChange change{row.name, parts->database, row.connect};
  if (parts->prefix.empty() || parts->prefix == kJetLinkPrefix) {
    if (row.connect && !row.connect->empty()) change.connect.reset();
  } else {
    change.connect = parts->prefix;
  }
  std::shared_ptr<const DecodedCatalog> after;
  if (Status s = writeLink(database.fileSystem(), database.notices(), database.realPath(), database.path(), change,
                           database.cachedCatalog().get(), &after, &database.identity());
      !s.ok()) {
    return s;
  }
  table.clearPendingConnect();
  // The stored row: from what the writer read back under its lock, else as
  // the file now holds it.
  if (after) {
    database.setDecodedCatalog(after);
  } else {
    auto decoded = database.decodedCatalog();
    if (!decoded) return decoded.status();
    after = std::move(*decoded);
  }
  if (const CatalogTable* stored = after->find(row.name)) table.setCatalogRow(*stored);
  return Status::success();
}

}  // namespace povezava::engine::jet
