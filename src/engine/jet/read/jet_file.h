// A Jet/ACE database file read page by page.
//
// JetFile owns the File, knows the layout from the header and hands out
// pages on demand, decoded when the database is RC4-encoded, through a small
// cache; the whole file is never read. Only whole pages count: a partial last
// page is ignored, and a pointer into it is damage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/io.h"
#include "engine/jet/format/header.h"
#include "engine/jet/format/layout.h"
#include "engine/jet/format/page_view.h"
#include "base/status.h"

namespace povezava::engine::jet {

// One page's bytes, kept alive as long as a Page refers to them.
class Page {
 public:
  Page() = default;
  Page(std::uint32_t number, std::shared_ptr<const std::byte[]> bytes, std::size_t size)
      : number_(number), bytes_(std::move(bytes)), size_(size) {}

  std::uint32_t number() const { return number_; }
  PageView view() const { return bytes_ ? PageView(std::span(bytes_.get(), size_)) : PageView(); }

 private:
  std::uint32_t number_ = 0;
  std::shared_ptr<const std::byte[]> bytes_;
  std::size_t size_ = 0;
};

class JetFile {
 public:
  // Checks the header and the first pages (page 1 a data page, page 2 a table
  // definition). The description of every error names `displayName`.
  [[nodiscard]] static Result<std::unique_ptr<JetFile>> open(std::unique_ptr<File> file,
                                                             std::string displayName);
  // The same, with the file's size as the caller has just asked it.
  [[nodiscard]] static Result<std::unique_ptr<JetFile>> open(std::unique_ptr<File> file, std::string displayName,
                                                             std::uint64_t size);

  const Layout& layout() const { return *header_.layout; }
  const HeaderInfo& header() const { return header_; }
  // The name used in error messages (the name the database was opened with).
  const std::string& displayName() const { return displayName_; }
  File& file() { return *file_; }
  // Whole pages in the file.
  std::uint32_t pageCount() const { return pageCount_; }
  bool encoded() const { return header_.databaseKey != 0; }

  // The page, decoded; corrupt when it lies past the last whole page.
  [[nodiscard]] Result<Page> page(std::uint32_t number);

  // Forgets cached pages and takes the file's size again (after the file was
  // written, perhaps grown by a page).
  void dropCache();
  // The same, with the file's size as `now` gives it (already asked).
  void dropCache(const FileInfo& now);

  // Whether page `was.number()` holds exactly the bytes of `was` now (read
  // without the cache, into a buffer of the file's own).
  [[nodiscard]] bool holds(const Page& was);

  // From startRecording() on, every page handed out is noted; stopRecording()
  // returns them, each once, in page order. What was decoded from exactly
  // these pages stays valid while they hold the same bytes (see JetDatabase).
  void startRecording();
  std::vector<Page> stopRecording();

  // A corrupt-page Status for this file.
  Status corrupt(std::uint32_t page, std::string_view what) const;

 private:
  JetFile(std::unique_ptr<File> file, std::string displayName, HeaderInfo header,
          std::uint32_t pageCount);

  static constexpr std::size_t kCacheSize = 32;

  std::unique_ptr<File> file_;
  std::string displayName_;
  HeaderInfo header_;
  std::uint32_t pageCount_;
  std::vector<Page> cache_;  // most recently used last
  std::vector<std::byte> scratch_;  // for holds()
  bool recording_ = false;
  std::vector<Page> recorded_;
};

}  // namespace povezava::engine::jet
