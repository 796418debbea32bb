// Relinking many front-ends with a handful of disk round trips.
//
// Relinks run through a batch's engine exactly as they would through the
// engine made from the same setup (same checks, same errors), but their writes are held until
// commit() stores them all at once, each file atomically: a crash at any
// moment leaves every file as it was or as it should be. A file's write lock
// is taken when a relink through the batch first needs it and held until
// commit() or the batch's end, so no other writer comes between a relink and
// its commit.
//
// Units: beginUnit() starts a unit of work (for the command line, one
// front-end); commit() answers for each unit begun since the last commit
// whether all the files it wrote were stored.
//
// Not thread-safe; one relink at a time. Databases opened through the batch
// may stay open across commit(): afterwards they read the stored pages.
#pragma once

#include <memory>
#include <vector>

#include "engine/engine.h"
#include "base/io.h"
#include "base/status.h"

namespace povezava::engine {

class WriteBatch {
 public:
  // Drops whatever is still held (nothing of it reaches the disk) and
  // releases the locks.
  virtual ~WriteBatch() = default;
  WriteBatch(const WriteBatch&) = delete;
  WriteBatch& operator=(const WriteBatch&) = delete;

  // An engine whose databases are opened, read and relinked through the
  // batch. It lives as long as the batch.
  virtual DBEngine& engine() = 0;
  // The batch's view of the file system: what is opened through it is bound
  // to the file it first led to until the commit (a copy made through it is
  // a copy of the file the batch writes).
  virtual FileSystem& fileSystem() = 0;
  // Starts the next unit; writes from now on belong to it.
  virtual void beginUnit() = 0;
  // Stores every held write. One Status per unit begun since the last
  // commit, in order: success when every file the unit wrote is stored (or
  // it wrote none), else the first failure; a file that failed is as it was.
  // Afterwards nothing is held and no lock is kept.
  virtual std::vector<Status> commit() = 0;

 protected:
  WriteBatch() = default;
};

// A batch over `setup.fileSystem`, the file system it reads and finally
// writes; its engine resolves names with `setup.paths` and gives its notices
// to `setup.notices`. Each must outlive the batch.
std::unique_ptr<WriteBatch> makeWriteBatch(const EngineSetup& setup);

}  // namespace povezava::engine
