// The Jet write batch (engine/write_batch.h): relinking many databases with a
// handful of disk round trips.
//
// A relink costs little work and four syncs; over hundreds of front-ends the
// syncs are nearly all the time. A WriteBatch lets relinks run exactly as
// they would (same checks, same pages built, same errors) through its
// engine, while their writes are held in memory: its file system hands out
// files whose writes, syncs and journals stay in the batch and whose reads
// see the writes held. commit() then stores every file's held pages at once,
// each file atomically, with the rollback journal a single relink uses
// (journal_writer.h):
//
//   1. per file: the name still leads to the file the relinks read (same
//      device and inode), which has one name and no Access lock file beside
//      it; every page the relinks read (whole pages, as the Jet reader reads
//      them) checked against what they read; the journal of the old images
//      written, with the checksums of the pages only read;
//   2. all journals synced, side by side, then their folders; the checks of
//      step 1 again (the name, the pages);
//   3. the new pages written into each file;
//   4. all files synced, side by side;
//   5. the commit point: each journal marked committed and synced;
//   6. the journals removed and their folders synced (a failure here is a
//      notice: the files are stored).
//
// Four rounds of syncs for the whole batch instead of four syncs per table.
// A file that fails before its commit point is put back from its old images
// while its journal is on disk (failing that, the journal stays and the next
// open replays it); the other files go on. A crash at any moment leaves
// every file as it was or as it should be.
//
// Locks: a file's write lock is taken (and a journal an interrupted relink
// left is replayed) when a relink through the batch first locks it, on the
// real file, and held until commit() or the batch's end, so no other writer
// comes between the relink and its commit.
//
// One file from start to commit: a name opened through the batch stays bound
// to the file it first led to (device and inode) until the commit; opening it
// again when it leads to another file (renamed or copied over it meanwhile)
// fails with fileInUse, and so does the commit of a file whose name has
// moved on.
//
// Units: beginUnit() starts a unit of work (the command line: one
// front-end); commit() answers for each unit begun since the last commit
// whether all the files it wrote were stored.
//
// Not thread-safe; one relink at a time. Databases opened through the batch
// may stay open across commit(): afterwards they read the stored pages.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "engine/engine.h"
#include "base/io.h"
#include "base/status.h"
#include "engine/write_batch.h"

namespace povezava::engine::jet {

class WriteBatch final : public engine::WriteBatch {
 public:
  // `setup.fileSystem` is the file system the batch reads and finally
  // writes; the batch's engine resolves names and says what it found as
  // `setup` does. It must outlive the batch.
  explicit WriteBatch(const EngineSetup& setup);
  // Drops whatever is still held (nothing of it reaches the disk) and
  // releases the locks.
  ~WriteBatch() override;
  WriteBatch(const WriteBatch&) = delete;
  WriteBatch& operator=(const WriteBatch&) = delete;

  // An engine whose databases are opened, read and relinked through the batch.
  DBEngine& engine() override;
  // The batch's view of the file system.
  FileSystem& fileSystem() override;

  // Starts the next unit; writes from now on belong to it.
  void beginUnit() override;
  // How many files have writes held.
  std::size_t heldFiles() const;
  // Stores every held write as described above. One Status per unit begun
  // since the last commit, in order: success when every file the unit wrote
  // is stored (or it wrote none), else the first failure. Afterwards nothing
  // is held and no lock is kept.
  std::vector<Status> commit() override;

  struct State;  // the batch's file system and what it holds

 private:
  std::unique_ptr<State> state_;
};

}  // namespace povezava::engine::jet
