// Putting back what a journal (read/journal_reader.h) says was there.
//
// A pending journal is replayed: the old images go back, the pages the
// change added are cut off, and the journal is removed. An incomplete
// journal, and a committed one whose change is done, are removed with the
// database left as it is. A foreign one is not this journal's to repair: the
// database is left alone and the journal moved aside to
// "<journal>.stale-YYYYMMDD-HHMMSS" for a person to look at.
#pragma once

#include <functional>

#include "base/io.h"
#include "engine/notices.h"
#include "engine/recovery.h"
#include "base/status.h"

namespace povezava::engine::jet {

// Looks for a journal beside `database` (open read-write under its real
// path, its write lock held, no Access lock file beside it) and recovers as
// described above. Says what it did to `notices`. `beforeActing`, when
// given, is asked once a journal is found and before anything is done about
// it; its failure is returned (the writer whose file was opened before its
// name was last asked about confirms there that the name still leads to it:
// a journal beside the name may be another file's).
Result<Recovery> recoverJournal(FileSystem& fs, NoticeSink& notices, File& database,
                                const std::function<Status()>& beforeActing = {});

}  // namespace povezava::engine::jet
