#include "engine/jet/jet_database.h"

#include "base/case_fold.h"
#include "base/errors.h"
#include "engine/jet/read/journal_reader.h"
#include "engine/jet/write/link_writer.h"
#include "engine/jet/write/relink.h"
#include "engine/jet/write/write_batch.h"
#include "engine/recovery.h"
#include "engine/link_path.h"
#include "engine/front_end_file.h"
#include "engine/notices.h"
#include "engine/named_file.h"
#include "engine/readings.h"
#include "base/unicode.h"

namespace povezava::engine::jet {
namespace {

// What a database opened without a setup reaches: no file.
class NoFiles final : public FileSystem, public PathResolver {
 public:
  Result<std::unique_ptr<File>> open(const std::string& path, OpenMode) override { return refused(path); }
  Result<FileInfo> info(const std::string& path) override { return refused(path); }
  Result<std::vector<std::string>> list(const std::string& folder) override { return refused(folder); }
  Status remove(const std::string& path) override { return refused(path); }
  Status rename(const std::string& from, const std::string&) override { return refused(from); }
  Result<std::string> realPath(const std::string& path) override { return refused(path); }
  Status syncFolder(const std::string& folder) override { return refused(folder); }
  Result<std::string> resolve(FileSystem&, std::u16string_view name) const override {
    return refused(toUtf8(name));
  }

 private:
  static Status refused(const std::string& path) {
    return errors::notSupported("reaching '" + path + "' from a database opened without a file system");
  }
};

const EngineSetup& noFiles() {
  static NoFiles none;  // holds nothing
  static const EngineSetup setup{&none, &none, &droppedNotices()};
  return setup;
}

}  // namespace

JetDatabase::JetDatabase(std::unique_ptr<JetFile> file, std::u16string name, std::string path,
                         std::string realPath, const EngineSetup& setup, bool journaled, FileInfo identity)
    : file_(std::move(file)),
      fs_(setup.fileSystem),
      paths_(setup.paths),
      notices_(setup.notices),
      readings_(setup.readings),
      name_(std::move(name)),
      path_(std::move(path)),
      realPath_(std::move(realPath)),
      journaled_(journaled),
      identity_(identity) {}

Result<std::shared_ptr<JetDatabase>> JetDatabase::open(std::unique_ptr<File> file,
                                                       std::u16string name, const EngineSetup* setup,
                                                       std::string realPath, bool journaled) {
  std::string path = file->path();
  if (realPath.empty()) realPath = path;
  auto identity = file->info();
  if (!identity) return identity.status();
  auto jet = JetFile::open(std::move(file), path, identity->size);
  if (!jet) return jet.status();
  std::shared_ptr<JetDatabase> db(new JetDatabase(std::move(*jet), std::move(name), std::move(path),
                                                      std::move(realPath),
                                                      setup != nullptr ? *setup : noFiles(), journaled,
                                                      *identity));
  // Reading the catalogue once at open makes a damaged file fail here, as the
  // Jet engine fails to open it; what is read is kept for the first lookups.
  if (auto decoded = db->decodedCatalog(); !decoded) return decoded.status();
  return db;
}

Status JetDatabase::leaveJournaledView() {
  auto journal = fs_->info(journalPath(realPath_));
  if (!journal) return journal.status();
  if (journal->exists) return Status::success();  // still pending
  auto file = fs_->open(path_, OpenMode::readOnly);
  if (!file) return file.status();
  auto now = (*file)->info();
  if (!now) return now.status();
  if (!sameFile(*now, identity_)) return errors::replacedMeanwhile(path_);
  auto jet = JetFile::open(std::move(*file), path_);
  if (!jet) return jet.status();
  file_ = std::move(*jet);
  journaled_ = false;
  decoded_.reset();
  return Status::success();
}

Result<std::shared_ptr<const DecodedCatalog>> JetDatabase::decodedCatalog() {
  if (!isOpen()) return errors::objectInvalid();
  if (journaled_) {
    if (Status s = leaveJournaledView(); !s.ok()) return s;
  }
  // Within one run the catalogue is read once: what a relink writes it reads
  // again under its lock, and checks again before writing.
  if (decoded_ && takenThisRun(readings_, stamp_)) return decoded_;
  if (!decoded_ && !stamp_.info.exists) {
    // The first reading, just after the file was opened and asked about:
    // the pages read since are as good as any read now.
    auto decoded = decodeCatalog(*file_);
    if (!decoded) return decoded.status();
    decoded_ = std::make_shared<const DecodedCatalog>(std::move(*decoded));
    stamp_ = stampOf(readings_, identity_);
    return decoded_;
  }
  // What the file is now, before anything is read from it.
  auto now = file_->file().info();
  if (!now) return now.status();
  file_->dropCache(*now);  // the file may have changed since the last reading
  if (decoded_ && decoded_->stillHolds(*file_)) {
    stamp_ = stampOf(readings_, *now);
    return decoded_;
  }
  auto decoded = decodeCatalog(*file_);
  if (!decoded) return decoded.status();
  decoded_ = std::make_shared<const DecodedCatalog>(std::move(*decoded));
  stamp_ = stampOf(readings_, *now);
  return decoded_;
}

Result<std::vector<CatalogTable>> JetDatabase::readTables() {
  auto decoded = decodedCatalog();
  if (!decoded) return decoded.status();
  std::vector<CatalogTable> tables;
  tables.reserve((*decoded)->tables.size());
  for (const auto& t : (*decoded)->tables) tables.push_back(*t);
  return tables;
}

Result<std::shared_ptr<TableDefs>> JetDatabase::tableDefs() {
  auto decoded = decodedCatalog();
  if (!decoded) return decoded.status();
  return std::shared_ptr<TableDefs>(std::make_shared<JetTableDefs>(shared_from_this(), std::move(*decoded)));
}

Status JetDatabase::close() {
  if (!isOpen()) return errors::objectInvalid();
  file_.reset();
  return Status::success();
}

Status JetDatabase::refreshLinks(std::span<const std::shared_ptr<TableDef>> tables) {
  if (!isOpen()) return errors::objectInvalid();
  std::vector<JetTableDef*> jets;
  for (const auto& table : tables) {
    auto* jet = dynamic_cast<JetTableDef*>(table.get());
    if (jet == nullptr || &jet->database() != this) {
      return errors::invalidArgument("a table of another database given to relink " + path_);
    }
    if (jet->kind() == TableKind::local) {
      return errors::notSupported("the local table '" + toUtf8(jet->name()) + "' is not linked");
    }
    jets.push_back(jet);
  }
  std::vector<JetTableDef::Saved> saved;
  for (const JetTableDef* jet : jets) saved.push_back(jet->save());

  // The relinks write through the batch's view of the file system; commit()
  // stores what they held, one atomic write, or nothing.
  WriteBatch batch(EngineSetup{fs_, paths_, notices_, readings_});
  batch.beginUnit();
  FileSystem* const own = fs_;
  fs_ = &batch.fileSystem();
  Status result;
  for (JetTableDef* jet : jets) {
    result = jet::refreshLink(*this, *jet);
    if (!result.ok()) break;
  }
  fs_ = own;
  if (result.ok()) result = batch.commit().front();
  if (!result.ok()) {
    for (std::size_t i = 0; i < jets.size(); ++i) jets[i]->restore(std::move(saved[i]));
    decoded_.reset();  // it may describe writes that were dropped
  }
  return result;
}

const std::vector<std::u16string>* JetDatabase::confirmedBackEnd(const std::u16string& link) const {
  const auto it = confirmed_.find(link);
  if (it == confirmed_.end() || !takenThisRun(readings_, it->second.stamp)) return nullptr;
  return &it->second.tables;
}

void JetDatabase::confirmBackEnd(const std::u16string& link, std::vector<std::u16string> tables) {
  if (readings_ == nullptr) return;
  confirmed_.insert_or_assign(link, ConfirmedBackEnd{stampOf(readings_, FileInfo{}), std::move(tables)});
}

Status JetDatabase::checkWritable() {
  if (!isOpen()) return errors::objectInvalid();
  // The file as opened: the relink writes it under these names.
  return jet::checkWritable(*fs_, path_, realPath_);
}

Result<std::u16string> JetTableDef::connect() const {
  if (!database_->isOpen()) return errors::objectInvalid();
  if (pending_) return *pending_;
  return row_->composedConnect();
}

Status JetTableDef::setConnect(std::u16string_view link) {
  if (!database_->isOpen()) return errors::objectInvalid();
  if (kind() == TableKind::local) {
    return errors::notSupported("the local table '" + toUtf8(row_->name) + "' has no link string");
  }
  if (!splitLink(link)) return errors::noInstallableIsam(toUtf8(link));
  pending_ = std::u16string(link);
  return Status::success();
}

Status JetTableDef::refreshLink() {
  if (!database_->isOpen()) return errors::objectInvalid();
  if (kind() == TableKind::local) {
    return errors::notSupported("the local table '" + toUtf8(row_->name) + "' is not linked");
  }
  return jet::refreshLink(*database_, *this);
}

Status JetTableDef::checkLink() {
  if (!database_->isOpen()) return errors::objectInvalid();
  if (kind() == TableKind::local) {
    return errors::notSupported("the local table '" + toUtf8(row_->name) + "' is not linked");
  }
  return jet::checkLink(*database_, *this);
}

std::optional<std::u16string> JetTableDef::backendPath() const {
  if (kind() != TableKind::linked) return std::nullopt;
  return row_->database.value_or(std::u16string());
}

Result<std::u16string> JetTableDef::linkToBackendPath(std::u16string_view path) const {
  if (!database_->isOpen()) return errors::objectInvalid();
  if (kind() != TableKind::linked) {
    return errors::notSupported("the table '" + toUtf8(row_->name) + "' is not linked to a file");
  }
  CatalogTable moved = *row_;
  moved.database = std::u16string(path);
  return moved.composedConnect();
}

std::shared_ptr<TableDef> JetTableDefs::at(std::size_t index) const {
  if (index >= made_.size()) return nullptr;
  if (!made_[index]) made_[index].emplace(*database_, *catalog_->tables[index]);
  // One allocation for the collection instead of one per table: the
  // definition lives in it, and the pointer keeps the collection.
  return std::shared_ptr<TableDef>(shared_from_this(), &*made_[index]);
}

Result<std::shared_ptr<TableDef>> JetTableDefs::item(std::u16string_view name) const {
  if (const auto index = catalog_->indexOf(name)) return at(*index);
  return errors::itemNotFound(toUtf8(name));
}

Result<bool> JetEngine::sameFile(std::u16string_view a, std::u16string_view b) {
  return engine::sameFile(*setup_.fileSystem, *setup_.paths, a, b);
}

Status JetEngine::accessLockFile(std::u16string_view name) {
  return accessLockFileBeside(*setup_.fileSystem, *setup_.paths, name);
}

Result<std::shared_ptr<Database>> JetEngine::openDatabase(std::u16string_view name) {
  FileSystem& fs = *setup_.fileSystem;
  NoticeSink& notices = *setup_.notices;
  auto named = openNamed(fs, *setup_.paths, name, [&](const std::string& at) {
    if (forRelinking_) {
      auto file = fs.open(at, OpenMode::readWrite);
      // Read-only (a file, a share, a file another program opened denying
      // writes): read it all the same; the relink's own open says why not.
      if (file || file.status().number() == kErrFileNotFound) return file;
    }
    return fs.open(at, OpenMode::readOnly);
  });
  if (!named) return named.status();
  const std::string& path = named->path;
  std::unique_ptr<File> file = std::move(named->file);
  auto real = fs.realPath(path);
  if (!real) return real.status();
  // Reading never writes: a relink cut short by a crash is shown as its
  // journal will leave it, and undone on disk by the next relink.
  auto finding = inspectJournal(fs, *file, *real);
  if (!finding) return finding.status();
  bool journaled = false;
  switch (finding->state) {
    case JournalFinding::State::pending:
      if (finding->inProgress) {
        notices.notice(Notice{NoticeCase::relinkInProgress, path, finding->journal,
                "A relink of '" + path + "' is in progress in another povezava: povezava shows the file as it "
                "was before; look again when that relink has finished."});
      } else {
        notices.notice(Notice{NoticeCase::relinkPending, path, finding->journal,
                "A relink of '" + path + "' was interrupted: povezava shows the file as it was before; the "
                "next relink (or 'povezava-cli recover') puts its old pages back on disk."});
      }
      file = journaledView(std::move(file), std::move(*finding));
      journaled = true;
      break;
    case JournalFinding::State::foreign:
      notices.notice(Notice{NoticeCase::journalIgnored, path, finding->journal,
              "'" + finding->journal + "' does not belong to '" + path + "' as it is now (" + finding->reason +
              "); povezava ignores it, and the next relink moves it aside."});
      break;
    case JournalFinding::State::none:
    case JournalFinding::State::incomplete:
    case JournalFinding::State::committed:
      break;
  }
  auto db = JetDatabase::open(std::move(file), std::u16string(name), &setup_, std::move(*real), journaled);
  if (!db) return db.status();
  return std::shared_ptr<Database>(std::move(*db));
}

}  // namespace povezava::engine::jet

namespace povezava::engine {

std::string_view kindName(TableKind kind) {
  switch (kind) {
    case TableKind::local: return "local";
    case TableKind::linked: return "linked";
    case TableKind::odbc: return "odbc";
  }
  return "local";
}

std::unique_ptr<DBEngine> makeEngine(const EngineSetup& setup) { return std::make_unique<jet::JetEngine>(setup); }

}  // namespace povezava::engine
