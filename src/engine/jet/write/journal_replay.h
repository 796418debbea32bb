// Putting back what a journal (read/journal_reader.h) says was there.
//
// A pending journal is replayed: the old images go back, the pages the
// change added are cut off, and the journal is removed. An incomplete
// journal, and a committed one whose change is done, are removed with the
// database left as it is. A foreign one is not this journal's to repair: the
// database is left alone and the journal moved aside to
// "<journal>.stale-YYYYMMDD-HHMMSS" for a person to look at.
#pragma once

#include "base/io.h"
#include "engine/notices.h"
#include "engine/recovery.h"
#include "base/status.h"

namespace povezava::engine::jet {

// Looks for a journal beside `database` (open read-write under its real
// path, its write lock held, no Access lock file beside it) and recovers as
// described above. Says what it did to `notices`.
Result<Recovery> recoverJournal(FileSystem& fs, NoticeSink& notices, File& database);

}  // namespace povezava::engine::jet
