// The database engine as the program uses it.
//
// An engine is made from what it needs (makeEngine(), EngineSetup): the file
// system it reads and writes, the resolver that turns names into files, and
// the sink its notices go to; it keeps no state of its own beyond them, so
// two engines never share anything their setups do not. A program makes one
// at start. It opens a
// front-end database, hands out its table-definition collection (read anew
// from the file on every call), reads a table definition's link string
// (Connect), takes a new one and re-points the table (refreshLink).
//
// Lifetimes: objects are reference-counted through shared_ptr. A table
// definition keeps its database alive; releasing the last reference frees
// it. close() ends the database's use: table definitions that outlive it
// answer every call with objectInvalid().
//
// Texts (names, link strings) are UTF-16, as the program's text is.
// File names are UTF-16 too; the engine turns them into the platform's
// file names. No call throws.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "base/io.h"
#include "base/status.h"
#include "engine/notices.h"
#include "engine/path_resolver.h"

namespace povezava::engine {

enum class TableKind {
  local,   // rows in this database
  linked,  // rows in another file: a Jet/ACE database or an ISAM source
  odbc,    // rows behind an ODBC connection
};

// "local", "linked" or "odbc".
std::string_view kindName(TableKind kind);

class TableDef {
 public:
  virtual ~TableDef() = default;

  virtual const std::u16string& name() const = 0;
  virtual TableKind kind() const = 0;
  // MSys... and the other tables the database keeps for itself.
  virtual bool isSystem() const = 0;

  // The link string: ";DATABASE=<path>" for a Jet link, "<prefix>DATABASE=<path>"
  // for another file type, the stored connection text for ODBC, empty for a
  // local table. After setConnect() it is the new text, stored or not.
  [[nodiscard]] virtual Result<std::u16string> connect() const = 0;

  // Takes a new link string; nothing on disk changes until refreshLink()
  // succeeds. Refused for a local table and for a text without "DATABASE=".
  [[nodiscard]] virtual Status setConnect(std::u16string_view link) = 0;

  // Re-attaches the table to the back-end its link string names and stores
  // the link in the front-end. On failure the file is unchanged.
  [[nodiscard]] virtual Status refreshLink() = 0;

  // The checks refreshLink() makes before it writes, and nothing else: the
  // back-end the link string names (the one given to setConnect(), else the
  // stored one) is found, is a database and holds the table. Writes nothing.
  [[nodiscard]] virtual Status checkLink() { return errors::notSupported("checking a link"); }

  // The back-end path the front-end stores for a table linked to a file (the
  // path after "DATABASE=", as stored, whatever setConnect() was given);
  // nothing for local and ODBC tables.
  virtual std::optional<std::u16string> backendPath() const { return std::nullopt; }

  // The link string that points this table at `path`, keeping the stored
  // connect prefix (";DATABASE=" + path for a Jet back-end). notSupported for
  // local and ODBC tables.
  [[nodiscard]] virtual Result<std::u16string> linkToBackendPath(std::u16string_view /*path*/) const {
    return errors::notSupported("a link to a back-end path");
  }

 protected:
  TableDef() = default;
  TableDef(const TableDef&) = default;
  TableDef& operator=(const TableDef&) = default;
};

// The table definitions of a database at the moment the collection was read,
// in catalogue order, system tables included.
class TableDefs {
 public:
  virtual ~TableDefs() = default;

  virtual std::size_t count() const = 0;
  // REQUIRES: index < count()
  virtual std::shared_ptr<TableDef> at(std::size_t index) const = 0;
  // The table of that name, compared without regard to case; itemNotFound when
  // there is none.
  [[nodiscard]] virtual Result<std::shared_ptr<TableDef>> item(std::u16string_view name) const = 0;

 protected:
  TableDefs() = default;
  TableDefs(const TableDefs&) = default;
  TableDefs& operator=(const TableDefs&) = default;
};

class Database {
 public:
  virtual ~Database() = default;

  // The name the database was opened with, as given.
  virtual const std::u16string& name() const = 0;
  // Reads the catalogue again and returns the tables it lists now.
  [[nodiscard]] virtual Result<std::shared_ptr<TableDefs>> tableDefs() = 0;
  // Ends the use of the database; later calls on it or its tables fail.
  [[nodiscard]] virtual Status close() = 0;

  // Stores the link strings given to setConnect() of several of this
  // database's tables together: each is checked and written as refreshLink()
  // would, and the file takes all of them in one atomic write or none of them.
  // On failure the file is unchanged, the first failure is returned and the
  // table definitions keep their pending link strings.
  [[nodiscard]] virtual Status refreshLinks(std::span<const std::shared_ptr<TableDef>> /*tables*/) {
    return errors::notSupported("storing links together");
  }

  // Whether a relink could write the file now, checked as the writer checks it
  // and without writing (recovery.h, checkFrontEndWritable()).
  [[nodiscard]] virtual Status checkWritable() { return Status::success(); }

 protected:
  Database() = default;
  Database(const Database&) = default;
  Database& operator=(const Database&) = default;
};

class DBEngine {
 public:
  virtual ~DBEngine() = default;

  // Opens the database of that name: an absolute path, or one relative to the
  // current folder. "\" separates folders as well as "/", and a name that does
  // not match exactly is matched component by component without regard to
  // case, as on the file systems the databases come from.
  [[nodiscard]] virtual Result<std::shared_ptr<Database>> openDatabase(std::u16string_view name) = 0;

  // Whether `a` and `b`, resolved as openDatabase resolves names, are one
  // file, whatever their spelling (engine/front_end_file.h: sameFile).
  [[nodiscard]] virtual Result<bool> sameFile(std::u16string_view a, std::u16string_view b) = 0;
  // Access's lock file beside the database `name`: fileInUse naming it and
  // who has the database open; success when there is none
  // (engine/front_end_file.h: accessLockFileBeside).
  [[nodiscard]] virtual Status accessLockFile(std::u16string_view name) = 0;

 protected:
  DBEngine() = default;
  DBEngine(const DBEngine&) = default;
  DBEngine& operator=(const DBEngine&) = default;
};

class KeptReadings;

// What an engine is made from. Each must outlive the engine and everything
// opened through it.
struct EngineSetup {
  FileSystem* fileSystem = nullptr;      // where databases are opened, read and written
  const PathResolver* paths = nullptr;   // how a database's name becomes a file
  NoticeSink* notices = nullptr;         // where what the engine found goes
  KeptReadings* readings = nullptr;      // readings kept for the run (readings.h); null: none
};

// The Jet/ACE engine over `setup`. REQUIRES: every member of `setup` but
// `readings` is set.
std::unique_ptr<DBEngine> makeEngine(const EngineSetup& setup);

}  // namespace povezava::engine
