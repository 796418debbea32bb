// A small in-memory engine for the faults no real file produces: a catalogue
// that cannot be read, a link string that cannot be read, a close that fails.
// It keeps engine.h's contract (lookup ignoring case, collections read anew,
// nothing stored until refreshLink succeeds, a closed database invalidating
// its tables) and logs every call in order.
//
// Header-only: the test folders build from *_test.cpp files alone.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "base/unicode.h"

namespace povezava::links::testing {

struct FakeTable {
  std::u16string name;
  engine::TableKind kind = engine::TableKind::linked;
  std::u16string connect;  // what the "file" stores
  bool failConnectRead = false;
  bool failSetConnect = false;
  bool failRefresh = false;
};

// The contents of one front-end "file", shared by every open of it.
struct FakeFile {
  std::vector<FakeTable> tables;
  bool failTableDefs = false;
  bool failClose = false;
  bool failWritable = false;  // checkWritable(): the front-end is locked
  bool failStore = false;     // refreshLinks(): the write fails after every check
};

inline std::string utf8(std::u16string_view text) { return engine::toUtf8(text); }

// Every call, in order: "open NAME", "tabledefs", "item NAME", "connect NAME",
// "set NAME LINK", "refresh NAME", "check NAME", "writable", "store NAME...",
// "close NAME".
using CallLog = std::vector<std::string>;

class FakeDatabase;

class FakeTableDef final : public engine::TableDef {
 public:
  FakeTableDef(std::shared_ptr<FakeDatabase> db, std::size_t index);

  const std::u16string& name() const override { return name_; }
  engine::TableKind kind() const override { return stored().kind; }
  bool isSystem() const override { return false; }
  engine::Result<std::u16string> connect() const override;
  engine::Status setConnect(std::u16string_view link) override;
  engine::Status refreshLink() override;
  engine::Status checkLink() override;
  // What refreshLink() checks, and storing the pending link.
  engine::Status verify() const;
  void store();

 private:
  FakeTable& stored() const;
  bool closed() const;

  std::shared_ptr<FakeDatabase> db_;  // a table definition keeps its database alive
  std::size_t index_;
  std::u16string name_;
  std::u16string pending_;
  bool hasPending_ = false;
};

class FakeDatabase final : public engine::Database,
                           public std::enable_shared_from_this<FakeDatabase> {
 public:
  FakeDatabase(std::u16string name, std::shared_ptr<FakeFile> file, CallLog& log,
               const std::set<std::u16string>& backends, int& closes)
      : name_(std::move(name)), file_(std::move(file)), log_(log), backends_(backends),
        closes_(closes) {}

  const std::u16string& name() const override { return name_; }
  engine::Result<std::shared_ptr<engine::TableDefs>> tableDefs() override;
  engine::Status refreshLinks(std::span<const std::shared_ptr<engine::TableDef>> tables) override;
  engine::Status checkWritable() override {
    log_.push_back("writable");
    if (file_->failWritable) return engine::errors::fileInUse(utf8(name_), "locked");
    return engine::Status::success();
  }
  engine::Status close() override {
    log_.push_back("close " + utf8(name_));
    ++closes_;
    if (file_->failClose) return engine::errors::diskOrNetwork(utf8(name_), 5);
    closed_ = true;
    return engine::Status::success();
  }

  FakeFile& file() { return *file_; }
  CallLog& log() { return log_; }
  bool closed() const { return closed_; }
  bool backendExists(const std::u16string& path) const { return backends_.count(path) > 0; }

 private:
  std::u16string name_;
  std::shared_ptr<FakeFile> file_;
  CallLog& log_;
  const std::set<std::u16string>& backends_;
  int& closes_;
  bool closed_ = false;
};

class FakeTableDefs final : public engine::TableDefs {
 public:
  explicit FakeTableDefs(std::shared_ptr<FakeDatabase> db) : db_(std::move(db)) {
    for (std::size_t i = 0; i < db_->file().tables.size(); ++i) {
      tables_.push_back(std::make_shared<FakeTableDef>(db_, i));
    }
  }
  std::size_t count() const override { return tables_.size(); }
  std::shared_ptr<engine::TableDef> at(std::size_t index) const override { return tables_[index]; }
  engine::Result<std::shared_ptr<engine::TableDef>> item(std::u16string_view name) const override {
    db_->log().push_back("item " + utf8(name));
    for (const auto& table : tables_) {
      if (sameIgnoringAsciiCase(table->name(), name)) return std::shared_ptr<engine::TableDef>(table);
    }
    return engine::errors::itemNotFound(utf8(name));
  }

 private:
  static bool sameIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    auto fold = [](char16_t c) {
      return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    };
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
  }

  std::shared_ptr<FakeDatabase> db_;
  std::vector<std::shared_ptr<FakeTableDef>> tables_;
};

inline engine::Result<std::shared_ptr<engine::TableDefs>> FakeDatabase::tableDefs() {
  log_.push_back("tabledefs");
  if (closed_) return engine::errors::objectInvalid();
  if (file_->failTableDefs) return engine::errors::corrupt(utf8(name_), 2, "catalogue unreadable");
  return std::shared_ptr<engine::TableDefs>(std::make_shared<FakeTableDefs>(shared_from_this()));
}

inline FakeTableDef::FakeTableDef(std::shared_ptr<FakeDatabase> db, std::size_t index)
    : db_(std::move(db)), index_(index), name_(db_->file().tables[index].name) {}

inline FakeTable& FakeTableDef::stored() const { return db_->file().tables[index_]; }
inline bool FakeTableDef::closed() const { return db_->closed(); }

inline engine::Result<std::u16string> FakeTableDef::connect() const {
  db_->log().push_back("connect " + utf8(name_));
  if (closed()) return engine::errors::objectInvalid();
  if (stored().failConnectRead) return engine::errors::diskOrNetwork(utf8(db_->name()), 5);
  return hasPending_ ? pending_ : stored().connect;
}

inline engine::Status FakeTableDef::setConnect(std::u16string_view link) {
  db_->log().push_back("set " + utf8(name_) + " " + utf8(link));
  if (closed()) return engine::errors::objectInvalid();
  if (stored().kind == engine::TableKind::local) return engine::errors::notSupported("Connect of a local table");
  if (stored().failSetConnect || link.find(u"DATABASE=") == std::u16string_view::npos) {
    return engine::errors::noInstallableIsam(utf8(link));
  }
  pending_ = link;
  hasPending_ = true;
  return engine::Status::success();
}

inline engine::Status FakeTableDef::checkLink() {
  db_->log().push_back("check " + utf8(name_));
  return verify();
}

inline engine::Status FakeTableDef::verify() const {
  if (closed()) return engine::errors::objectInvalid();
  if (stored().kind == engine::TableKind::local) return engine::errors::notSupported("RefreshLink of a local table");
  const std::u16string link = hasPending_ ? pending_ : stored().connect;
  const auto at = link.find(u"DATABASE=");
  const std::u16string path = at == std::u16string::npos ? std::u16string{} : link.substr(at + 9);
  if (stored().failRefresh || !db_->backendExists(path)) return engine::errors::fileNotFound(utf8(path));
  return engine::Status::success();
}

inline void FakeTableDef::store() {
  if (hasPending_) stored().connect = pending_;
  hasPending_ = false;
}

inline engine::Status FakeDatabase::refreshLinks(std::span<const std::shared_ptr<engine::TableDef>> tables) {
  std::string names;
  for (const auto& table : tables) names += " " + utf8(table->name());
  log_.push_back("store" + names);
  for (const auto& table : tables) {
    if (engine::Status s = static_cast<FakeTableDef&>(*table).verify(); !s.ok()) return s;
  }
  if (file_->failStore) return engine::errors::diskOrNetwork(utf8(name_), 5);
  for (const auto& table : tables) static_cast<FakeTableDef&>(*table).store();
  return engine::Status::success();
}

inline engine::Status FakeTableDef::refreshLink() {
  db_->log().push_back("refresh " + utf8(name_));
  if (engine::Status s = verify(); !s.ok()) return s;
  store();
  return engine::Status::success();
}

class FakeEngine final : public engine::DBEngine {
 public:
  // Front-ends by name (matched exactly) and the back-end paths refreshLink accepts.
  std::map<std::u16string, std::shared_ptr<FakeFile>> files;
  std::set<std::u16string> backends;
  CallLog log;
  int closes = 0;
  // The databases handed out, to check what was released.
  std::vector<std::weak_ptr<FakeDatabase>> opened;
  // Front-ends (by name) that Access has open: a lock file lies beside them.
  std::set<std::u16string> openInAccess;

  // A front-end with PARTNER, KONTI and NALOGI linked into `folder` (with
  // its final separator): C:\APP, or a Linux folder such as /app/, whose
  // links a relink to a local path may replace without a path map.
  std::shared_ptr<FakeFile> addFrontEnd(const std::u16string& name, std::u16string_view folder = u"C:\\APP\\") {
    const std::u16string at = u";DATABASE=" + std::u16string(folder);
    auto file = std::make_shared<FakeFile>();
    file->tables = {
        {u"PARTNER", engine::TableKind::linked, at + u"PARTNER.MDB"},
        {u"KONTI", engine::TableKind::linked, at + u"QUERNO.MDB"},
        {u"NALOGI", engine::TableKind::linked, at + u"QUERNO.MDB"},
        {u"LOCAL1", engine::TableKind::local, u""},
    };
    files[name] = file;
    return file;
  }

  engine::Result<std::shared_ptr<engine::Database>> openDatabase(std::u16string_view name) override {
    log.push_back("open " + utf8(name));
    auto found = files.find(std::u16string(name));
    if (found == files.end()) return engine::errors::fileNotFound(utf8(name));
    auto db = std::make_shared<FakeDatabase>(std::u16string(name), found->second, log, backends, closes);
    opened.push_back(db);
    return std::shared_ptr<engine::Database>(db);
  }

  // Two names are one file when they lead to the same FakeFile (register a
  // second spelling with files[alias] = files[name]).
  engine::Result<bool> sameFile(std::u16string_view a, std::u16string_view b) override {
    const auto first = files.find(std::u16string(a));
    if (first == files.end()) return engine::errors::fileNotFound(utf8(a));
    const auto second = files.find(std::u16string(b));
    if (second == files.end()) return engine::errors::fileNotFound(utf8(b));
    return first->second == second->second;
  }

  engine::Status accessLockFile(std::u16string_view name) override {
    if (openInAccess.count(std::u16string(name)) == 0) return engine::Status::success();
    const engine::Status inUse = engine::errors::fileInUse(utf8(name), "Access has it open");
    engine::ErrorDetails details = inUse.details();
    details.what = engine::ErrorCase::accessLockFile;
    details.other = "TQ.ldb";
    details.users = "PISARNA-2";
    return {inUse.number(), inUse.description(), std::move(details)};
  }
};

}  // namespace povezava::links::testing
