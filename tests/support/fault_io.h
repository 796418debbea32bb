// A FileSystem double for crash and fault tests.
//
// FaultFileSystem passes every call on to a real file system and counts the
// calls that change something on disk: writes (truncations count as writes),
// syncs, creations, removals and folder syncs. A plan makes one of them fail, tear, or "lose power":
//
//   failWrite(n)      the n-th write fails (EIO) and writes nothing
//   failSync(n)       the n-th file sync fails (EIO)
//   tearWrite(n)      the n-th write stores only its first half, then the
//                     power goes (every later call fails)
//   crashAfter(n)     after n changing calls the power goes
//   diskFullAfter(b)  writes that would add more than b bytes in all past
//                     the ends of files fail with ENOSPC
//   readOnlyFiles()   opening an existing file for writing fails (EACCES)
//   readOnlyFolders() creating or removing a file fails (EACCES)
//   failRemoves()     removing a file fails (EACCES); creating still works
//   failFolderSync(n) the n-th folder sync fails (EIO)
//
// Hooks stand for another program acting at a chosen moment:
//
//   beforeChange(n, f)  f() runs just before the n-th changing call
//   beforeOpen(f)       f(path, mode) runs before every open
//
// Durability is modelled per path, as a journaling file system gives it (the
// double does not pass syncs on to the real file system):
// bytes become durable by sync() of their file; a file's existence (its
// creation or removal) becomes durable by syncFolder() of its folder. After a
// crash, powerCycle() puts back on disk exactly what was durable, as a reboot
// would, and clears the plan. A torn write counts as having reached the disk:
// the worst case for whoever has to repair the page.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/io.h"

namespace povezava::testing {

// Puts `bytes` into the file at `path` in place (same inode), growing or
// shrinking it to their size: cheaper than truncating and rewriting.
void restoreFile(const std::string& path, const std::vector<std::byte>& bytes);

class FaultFileSystem final : public engine::FileSystem {
 public:
  explicit FaultFileSystem(engine::FileSystem& base);
  ~FaultFileSystem() override;
  FaultFileSystem(const FaultFileSystem&) = delete;
  FaultFileSystem& operator=(const FaultFileSystem&) = delete;

  // Fault plan (counting starts at 1; 0 = never).
  void failWrite(int n) { failWrite_ = n; }
  void failSync(int n) { failSync_ = n; }
  void tearWrite(int n) { tearWrite_ = n; }
  void crashAfter(int n) { crashAfter_ = n; }
  void diskFullAfter(std::uint64_t bytes) { appendBudget_ = bytes; }
  void readOnlyFiles(bool on = true) { readOnlyFiles_ = on; }
  void readOnlyFolders(bool on = true) { readOnlyFolders_ = on; }
  void failRemoves(bool on = true) { failRemoves_ = on; }
  void failFolderSync(int n) { failFolderSync_ = n; }
  void beforeChange(int n, std::function<void()> action) { beforeChange_[n] = std::move(action); }
  void beforeOpen(std::function<void(const std::string&, engine::OpenMode)> action) {
    beforeOpen_ = std::move(action);
  }

  // Calls counted so far.
  int writes() const { return writes_; }
  int syncs() const { return syncs_; }
  // Every call that changes the disk: writes, syncs, creations, removals,
  // folder syncs.
  int changes() const { return changes_; }
  bool crashed() const { return crashed_; }
  // Round trips on a share, counted: opens and reads of a path (as opened),
  // and questions (info, size, hasEntry, list) of any path or file.
  int opens(const std::string& path) const;
  int reads(const std::string& path) const;
  int reads() const;  // of every path
  int questions() const { return questions_; }

  // Simulates a reboot after a crash: every tracked path gets back its durable
  // content (a file created but not made durable disappears; one removed but
  // not made durable comes back). Clears the plan and the counters. Open Files
  // of this file system must not be used afterwards.
  void powerCycle();

  // engine::FileSystem
  engine::Result<std::unique_ptr<engine::File>> open(const std::string& path,
                                                     engine::OpenMode mode) override;
  engine::Result<engine::FileInfo> info(const std::string& path) override;
  engine::Result<bool> hasEntry(const std::string& path) override;
  engine::Result<std::vector<std::string>> list(const std::string& folder) override;
  engine::Status remove(const std::string& path) override;
  engine::Status rename(const std::string& from, const std::string& to) override;
  engine::Result<std::string> realPath(const std::string& path) override;
  engine::Status syncFolder(const std::string& folder) override;
  engine::Result<std::unique_ptr<engine::Folder>> openFolder(const std::string& folder) override;

 private:
  friend class FaultFile;

  struct Tracked {
    bool entryExists = false;    // what the real folder shows now
    bool durableEntry = false;   // what a reboot would show
    std::vector<std::byte> durable;  // durable content (valid when durableEntry)
    bool contentKnown = false;   // `durable` holds a snapshot
  };

  // Snapshot of a path's content before its first change.
  Tracked& track(const std::string& path);
  // Counts one changing call; false (and crashed) when the power is gone.
  bool beginChange();
  engine::Status powerLost(const std::string& path) const;

  engine::Status onWrite(engine::File& real, std::uint64_t offset,
                         std::span<const std::byte> data);
  engine::Status onSync(engine::File& real);
  // A truncation counts as a write (it changes the file's bytes); a torn one
  // does nothing before the power goes.
  engine::Status onTruncate(engine::File& real, std::uint64_t size);

  engine::FileSystem& base_;
  std::map<std::string, Tracked> tracked_;
  int failWrite_ = 0;
  int failSync_ = 0;
  int tearWrite_ = 0;
  int crashAfter_ = 0;
  std::optional<std::uint64_t> appendBudget_;
  bool readOnlyFiles_ = false;
  bool readOnlyFolders_ = false;
  bool failRemoves_ = false;
  int failFolderSync_ = 0;
  int folderSyncs_ = 0;
  std::map<int, std::function<void()>> beforeChange_;
  std::function<void(const std::string&, engine::OpenMode)> beforeOpen_;
  std::map<std::string, int> opens_;
  std::map<std::string, int> reads_;
  int questions_ = 0;
  int writes_ = 0;
  int syncs_ = 0;
  int changes_ = 0;
  bool crashed_ = false;
};

}  // namespace povezava::testing
