#include "engine/jet/write/page_commit.h"

#include <algorithm>

#include "engine/errors.h"
#include "engine/jet/format/rc4.h"
#include "engine/jet/write/journal.h"

namespace povezava::engine::jet {
namespace {

Status writeRaw(File& file, std::uint32_t pageSize, const PageImage& image) {
  return file.writeAt(std::uint64_t{image.page} * pageSize, image.bytes);
}

}  // namespace

Status rollBackPages(FileSystem& fs, File& file, std::uint32_t pageSize,
                     std::span<const PageImage> oldImages, std::uint64_t oldSize) {
  for (const PageImage& image : oldImages) {
    if (Status s = writeRaw(file, pageSize, image); !s.ok()) return s;
  }
  if (Status s = file.truncate(oldSize); !s.ok()) return s;
  if (Status s = file.sync(); !s.ok()) return s;
  return removeJournal(fs, file.path());
}

Status commitPages(FileSystem& fs, JetFile& database, std::span<const PageWrite> writes) {
  File& file = database.file();
  const std::uint32_t pageSize = database.layout().pageSize;
  auto fileSize = file.size();
  if (!fileSize.ok()) return fileSize.status();

  // A page written more than once goes to the disk once, in its final state
  // and at its first place in the order: with the journal in place the order
  // matters no more, and an intermediate state on disk would be neither the
  // old page nor the new one.
  std::vector<PageWrite> once;
  for (const PageWrite& w : writes) {
    auto same = std::find_if(once.begin(), once.end(), [&](const PageWrite& o) { return o.page == w.page; });
    if (same != once.end()) {
      same->bytes = w.bytes;
    } else {
      once.push_back(w);
    }
  }

  std::vector<PageImage> oldImages;
  std::vector<PageImage> newImages;
  for (const PageWrite& w : once) {
    if (w.bytes.size() != pageSize || w.page == kHeaderPage) {
      return errors::invalidArgument("page " + std::to_string(w.page) + " cannot be written");
    }
    const std::uint64_t at = std::uint64_t{w.page} * pageSize;
    if (at < *fileSize) {
      PageImage old{w.page, std::vector<std::byte>(pageSize)};
      if (Status s = file.readAt(at, old.bytes); !s.ok()) return s;
      oldImages.push_back(std::move(old));
    } else if (at != *fileSize) {
      return errors::invalidArgument("page " + std::to_string(w.page) + " lies past the end");
    }
    PageImage next{w.page, w.bytes};
    if (database.encoded()) rc4ApplyPage(database.header().databaseKey, w.page, next.bytes);
    newImages.push_back(std::move(next));
  }

  if (Status s = writeJournal(fs, file, pageSize, oldImages, newImages); !s.ok()) return s;

  Status failure;
  for (const PageImage& image : newImages) {
    failure = writeRaw(file, pageSize, image);
    if (!failure.ok()) break;
  }
  if (failure.ok()) failure = file.sync();
  if (failure.ok()) failure = removeJournal(fs, file.path());
  database.dropCache();
  if (failure.ok()) return failure;
  // Best effort: if this fails too, the journal stays for the next writer.
  (void)rollBackPages(fs, file, pageSize, oldImages, *fileSize);
  return failure;
}

}  // namespace povezava::engine::jet
