#include "engine/jet/write/journal_replay.h"

#include <ctime>
#include <string>

#include "base/errors.h"
#include "engine/jet/read/journal_reader.h"
#include "engine/jet/write/journal_writer.h"
#include "base/local_time.h"

namespace povezava::engine::jet {
namespace {

// Moves a journal that is not its database's out of the way, keeping it.
Result<std::string> setAside(FileSystem& fs, const std::string& journal) {
  const std::string base = journal + ".stale-" + localTimeStamp(std::time(nullptr));
  std::string target = base;
  for (int n = 2;; ++n) {
    Status s = fs.rename(journal, target);
    if (s.ok()) break;
    if (s.number() != kErrDatabaseExists || n > 99) return s;
    target = base + "-" + std::to_string(n);
  }
  if (Status s = fs.syncFolder(folderOf(journal)); !s.ok()) return s;
  return target;
}

}  // namespace

Result<Recovery> recoverJournal(FileSystem& fs, NoticeSink& notices, File& database,
                                const std::function<Status()>& beforeActing) {
  auto finding = inspectJournal(fs, database, database.path());
  if (!finding.ok()) return finding.status();
  if (finding->state != JournalFinding::State::none && beforeActing) {
    if (Status s = beforeActing(); !s.ok()) return s;
  }
  switch (finding->state) {
    case JournalFinding::State::none:
      return Recovery::none;
    case JournalFinding::State::incomplete:
      if (Status s = removeJournal(fs, database.path()); !s.ok()) return s;
      return Recovery::discarded;
    case JournalFinding::State::committed:
      if (Status s = removeJournal(fs, database.path()); !s.ok()) return s;
      return Recovery::finished;
    case JournalFinding::State::foreign: {
      auto moved = setAside(fs, finding->journal);
      if (!moved.ok()) {
        return errors::fileInUse(database.path(), finding->journal + " does not belong to it (" + finding->reason +
                                                       ") and cannot be moved aside: " + moved.status().description());
      }
      notices.notice(Notice{NoticeCase::journalSetAside, database.path(), *moved,
              "'" + finding->journal + "' does not belong to '" + database.path() + "' as it is now (" +
                  finding->reason + "); the database was left alone and the journal moved to '" + *moved + "'."});
      return Recovery::setAside;
    }
    case JournalFinding::State::pending:
      break;
  }

  // Write back only the pages that are not old already, then cut what the
  // change added. The journal stays until that is durable.
  const std::uint32_t pageSize = finding->pageSize;
  bool changed = false;
  std::vector<std::byte> now(pageSize);
  for (const PageImage& image : finding->oldPages) {
    const std::uint64_t offset = std::uint64_t{image.page} * pageSize;
    if (Status s = database.readAt(offset, now); !s.ok()) return s;
    if (now == image.bytes) continue;
    if (Status s = database.writeAt(offset, image.bytes); !s.ok()) return s;
    changed = true;
  }
  auto size = database.size();
  if (!size.ok()) return size.status();
  if (*size > finding->oldSize) {
    if (Status s = database.truncate(finding->oldSize); !s.ok()) return s;
    changed = true;
  }
  if (changed) {
    if (Status s = database.sync(); !s.ok()) return s;
  }
  if (Status s = removeJournal(fs, database.path()); !s.ok()) return s;
  if (changed) {
    notices.notice(Notice{NoticeCase::relinkUndone, database.path(), {},
            "A relink of '" + database.path() + "' was interrupted; its old pages were put back."});
  }
  return Recovery::replayed;
}

}  // namespace povezava::engine::jet
