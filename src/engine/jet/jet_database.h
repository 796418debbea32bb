// The Jet implementation of the engine interface (engine.h).
//
// JetDatabase owns the open file; JetTableDefs is one reading of the
// catalogue; JetTableDef is one table's catalogue row plus a pending link
// string. A table definition holds a shared_ptr to its database, so the
// database lives as long as any of its table definitions; close() ends its
// use, and every later call answers objectInvalid().
//
// The relink code plugs in through jet::refreshLink() (relink.h): it gets
// the database (its file and path) and the table definition (where its
// catalogue row lies, the row's values as read, the pending Connect).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "base/io.h"
#include "engine/readings.h"
#include "engine/jet/read/catalog.h"
#include "engine/jet/read/jet_file.h"

namespace povezava::engine::jet {

class JetDatabase final : public Database, public std::enable_shared_from_this<JetDatabase> {
 public:
  // Opens the database in `file`. `name` is the name as the caller gave it;
  // error descriptions name the file by `file->path()`.
  // `setup` is what relinks work with: the file system they open the file
  // for writing in, the resolver of back-end names, the sink of notices; it
  // must outlive the database. Without one the database reaches no file (a
  // database held in memory that is only read). `realPath` is where the file
  // itself lies (symbolic links resolved; `file->path()` when empty): relinks
  // write there, and its journal lies beside it. When `file` is a view of a
  // pending journal (read/journal_reader.h), `journaled` says so.
  [[nodiscard]] static Result<std::shared_ptr<JetDatabase>> open(std::unique_ptr<File> file,
                                                                  std::u16string name,
                                                                  const EngineSetup* setup = nullptr,
                                                                  std::string realPath = {},
                                                                  bool journaled = false);

  const std::u16string& name() const override { return name_; }
  Result<std::shared_ptr<TableDefs>> tableDefs() override;
  Status close() override;
  // The tables' writes are held in a write batch (write/write_batch.h) over
  // this database's file system and stored by its commit, one atomic write.
  Status refreshLinks(std::span<const std::shared_ptr<TableDef>> tables) override;
  Status checkWritable() override;

  bool isOpen() const { return file_ != nullptr; }
  // The platform path of the file. Valid after close() too.
  const std::string& path() const { return path_; }
  // Where the file itself lies (symbolic links resolved).
  const std::string& realPath() const { return realPath_; }
  // The identity (device, inode) of the file read: whatever writes the
  // database on its behalf writes this file or nothing.
  const FileInfo& identity() const { return identity_; }
  // REQUIRES: isOpen()
  JetFile& file() { return *file_; }
  FileSystem& fileSystem() { return *fs_; }
  const PathResolver& paths() const { return *paths_; }
  NoticeSink& notices() const { return *notices_; }
  // The readings kept for the run (null: none).
  KeptReadings* readings() const { return readings_; }
  // The catalogue's tables as the file holds them now: decoded again only
  // when a page they were decoded from has changed.
  [[nodiscard]] Result<std::vector<CatalogTable>> readTables();
  // The same, with the pages they were decoded from.
  [[nodiscard]] Result<std::shared_ptr<const DecodedCatalog>> decodedCatalog();
  // The catalogue as last decoded, unchecked (null before the first reading).
  const std::shared_ptr<const DecodedCatalog>& cachedCatalog() const { return decoded_; }
  // The tables of the back-end `link` leads to, when a check through this
  // database found them while readings are kept and this process has changed
  // no file since: the next table of that back-end, and the relink that
  // follows the check, ask nothing again.
  const std::vector<std::u16string>* confirmedBackEnd(const std::u16string& link) const;
  void confirmBackEnd(const std::u16string& link, std::vector<std::u16string> tables);
  // After a relink in this process: what it stored, as the file now holds it.
  void setDecodedCatalog(std::shared_ptr<const DecodedCatalog> decoded) {
    decoded_ = std::move(decoded);
    stamp_ = {};
  }

 private:
  JetDatabase(std::unique_ptr<JetFile> file, std::u16string name, std::string path, std::string realPath,
              const EngineSetup& setup, bool journaled, FileInfo identity);

  // Once the pending journal the file was read through is gone (a relink
  // recovered it), reads the file itself again.
  [[nodiscard]] Status leaveJournaledView();

  std::unique_ptr<JetFile> file_;
  FileSystem* fs_;
  const PathResolver* paths_;
  NoticeSink* notices_;
  KeptReadings* readings_;
  std::u16string name_;
  std::string path_;
  std::string realPath_;
  bool journaled_;
  FileInfo identity_;
  // The catalogue as last decoded; reused while its pages are unchanged.
  std::shared_ptr<const DecodedCatalog> decoded_;
  // The file as it was when decoded_ was read or last found to hold.
  ReadingStamp stamp_;
  struct ConfirmedBackEnd {
    ReadingStamp stamp;  // of the confirmation (no file info: only its run and changes count)
    std::vector<std::u16string> tables;
  };
  std::map<std::u16string, ConfirmedBackEnd> confirmed_;
};

class JetTableDef final : public TableDef {
 public:
  // `row` lies in a catalogue that, like `database`, outlives the definition
  // (the JetTableDefs holding it keeps both alive).
  JetTableDef(JetDatabase& database, const CatalogTable& row) : database_(&database), row_(&row) {}

  const std::u16string& name() const override { return row_->name; }
  TableKind kind() const override { return row_->kind(); }
  bool isSystem() const override { return row_->isSystem(); }
  Result<std::u16string> connect() const override;
  Status setConnect(std::u16string_view link) override;
  Status refreshLink() override;
  Status checkLink() override;
  std::optional<std::u16string> backendPath() const override;
  Result<std::u16string> linkToBackendPath(std::u16string_view path) const override;

  JetDatabase& database() { return *database_; }
  // The catalogue row as it was read (or as the last refreshLink stored it).
  const CatalogTable& catalogRow() const { return *row_; }
  void setCatalogRow(CatalogTable row) {
    stored_ = std::move(row);
    row_ = &*stored_;
  }
  // The link string given to setConnect() and not yet stored.
  const std::optional<std::u16string>& pendingConnect() const { return pending_; }
  void clearPendingConnect() { pending_.reset(); }

  // What a refresh changes in the definition, to put back when the write it
  // belonged to was not stored.
  struct Saved {
    CatalogTable row;
    std::optional<std::u16string> pending;
  };
  Saved save() const { return {*row_, pending_}; }
  void restore(Saved saved) {
    setCatalogRow(std::move(saved.row));
    pending_ = std::move(saved.pending);
  }

 private:
  JetDatabase* database_;
  const CatalogTable* row_;
  std::optional<CatalogTable> stored_;  // set by setCatalogRow()
  std::optional<std::u16string> pending_;
};

// One reading of the catalogue. A table's definition is made when it is
// first asked for, and the same one is handed out after that.
class JetTableDefs final : public TableDefs, public std::enable_shared_from_this<JetTableDefs> {
 public:
  JetTableDefs(std::shared_ptr<JetDatabase> database, std::shared_ptr<const DecodedCatalog> catalog)
      : database_(std::move(database)), catalog_(std::move(catalog)), made_(catalog_->tables.size()) {}

  std::size_t count() const override { return made_.size(); }
  // nullptr past the end (callers must stay below count()). The definition
  // shares this collection's lifetime: it keeps the collection, and through
  // it the database and the catalogue, alive.
  std::shared_ptr<TableDef> at(std::size_t index) const override;
  Result<std::shared_ptr<TableDef>> item(std::u16string_view name) const override;

 private:
  std::shared_ptr<JetDatabase> database_;
  std::shared_ptr<const DecodedCatalog> catalog_;
  // Made on first use, then kept; never moved once made.
  mutable std::vector<std::optional<JetTableDef>> made_;
};

// The Jet engine: resolves the name through its setup's resolver and opens
// the file for reading.
class JetEngine final : public DBEngine {
 public:
  // REQUIRES: every member of `setup` is set.
  // `forRelinking`: the databases it opens are opened to be relinked (a
  // write batch's engine): read-write where the file allows, so that the
  // relink reads, locks and writes through the one open file (on a share, one
  // open fewer); read-only where it does not, and the relink then says why.
  explicit JetEngine(const EngineSetup& setup, bool forRelinking = false)
      : setup_(setup), forRelinking_(forRelinking) {}
  Result<std::shared_ptr<Database>> openDatabase(std::u16string_view name) override;
  Result<bool> sameFile(std::u16string_view a, std::u16string_view b) override;
  Status accessLockFile(std::u16string_view name) override;

  const EngineSetup& setup() const { return setup_; }

 private:
  EngineSetup setup_;
  bool forRelinking_;
};

}  // namespace povezava::engine::jet
