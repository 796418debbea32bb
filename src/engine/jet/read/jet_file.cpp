#include "engine/jet/read/jet_file.h"

#include <algorithm>
#include <cstring>

#include "base/errors.h"
#include "engine/jet/format/rc4.h"

namespace povezava::engine::jet {

JetFile::JetFile(std::unique_ptr<File> file, std::string displayName, HeaderInfo header,
                 std::uint32_t pageCount)
    : file_(std::move(file)),
      displayName_(std::move(displayName)),
      header_(header),
      pageCount_(pageCount) {}

Result<std::unique_ptr<JetFile>> JetFile::open(std::unique_ptr<File> file, std::string displayName) {
  auto size = file->size();
  if (!size) return size.status();
  return open(std::move(file), std::move(displayName), *size);
}

Result<std::unique_ptr<JetFile>> JetFile::open(std::unique_ptr<File> file, std::string displayName,
                                               std::uint64_t size) {
  // The header and the pages after it in one read: on a share each read is
  // a round trip, and every open reads the global usage map and the
  // catalogue's definition next (pages 1 and 2), then the catalogue's usage
  // map, rows and long values, which in a file Access made lie within the
  // first sixteen pages (pages 6 and 14 of a Jet 4 file: one read, not
  // three; transferring the rest costs less than a round trip on a LAN).
  constexpr std::uint64_t kOpeningRead = 16 * 4096;
  std::vector<std::byte> probe(static_cast<std::size_t>(std::min<std::uint64_t>(size, kOpeningRead)));
  if (Status s = file->readAt(0, probe); !s.ok()) return s;
  auto header = parseHeader(std::span(probe).first(std::min<std::size_t>(probe.size(), kLayoutJet3.pageSize)), size,
                            displayName);
  if (!header) return header.status();

  const std::uint32_t pageSize = header->layout->pageSize;
  const std::uint64_t pages = size / pageSize;
  const auto pageCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(pages, 0xFFFFFF + 1));
  std::unique_ptr<JetFile> jet(new JetFile(std::move(file), std::move(displayName), *header, pageCount));
  for (std::uint32_t number = kGlobalUsageMapPage; number < kCacheSize; ++number) {
    const std::size_t at = std::size_t{number} * pageSize;
    if (at + pageSize > probe.size()) break;
    std::shared_ptr<std::byte[]> bytes = std::make_shared_for_overwrite<std::byte[]>(pageSize);
    const std::span<std::byte> buffer(bytes.get(), pageSize);
    std::copy_n(probe.begin() + static_cast<std::ptrdiff_t>(at), pageSize, buffer.begin());
    if (jet->encoded()) rc4ApplyPage(jet->header_.databaseKey, number, buffer);
    jet->cache_.emplace_back(number, std::move(bytes), pageSize);
  }

  auto globalMap = jet->page(kGlobalUsageMapPage);
  if (!globalMap) return globalMap.status();
  if (globalMap->view().u8(kOffsetPageType) != kPageTypeData) {
    return jet->corrupt(kGlobalUsageMapPage, "the global usage map page is not a data page");
  }
  auto catalog = jet->page(kCatalogTdefPage);
  if (!catalog) return catalog.status();
  if (catalog->view().u8(kOffsetPageType) != kPageTypeTdef ||
      catalog->view().u8(kOffsetPageMarker) != kPageMarker) {
    return jet->corrupt(kCatalogTdefPage, "the catalogue's table definition is missing");
  }
  return jet;
}

Result<Page> JetFile::page(std::uint32_t number) {
  for (auto it = cache_.begin(); it != cache_.end(); ++it) {
    if (it->number() == number) {
      Page found = *it;
      cache_.erase(it);
      cache_.push_back(found);
      if (recording_) recorded_.push_back(found);
      return found;
    }
  }
  if (number >= pageCount_) {
    return corrupt(number, "the page lies past the end of the file (" + std::to_string(pageCount_) +
                               " pages)");
  }
  const std::uint32_t pageSize = layout().pageSize;
  // Every byte is read over: no need to clear the buffer first.
  std::shared_ptr<std::byte[]> bytes = std::make_shared_for_overwrite<std::byte[]>(pageSize);
  const std::span<std::byte> buffer(bytes.get(), pageSize);
  if (Status s = file_->readAt(std::uint64_t{number} * pageSize, buffer); !s.ok()) return s;
  if (encoded() && number != kHeaderPage) rc4ApplyPage(header_.databaseKey, number, buffer);
  Page page(number, std::move(bytes), pageSize);
  if (cache_.size() >= kCacheSize) cache_.erase(cache_.begin());
  cache_.push_back(page);
  if (recording_) recorded_.push_back(page);
  return page;
}

bool JetFile::holds(const Page& was) {
  const std::uint32_t number = was.number();
  const std::uint32_t pageSize = layout().pageSize;
  if (number >= pageCount_ || was.view().size() != pageSize) return false;
  scratch_.resize(pageSize);
  if (!file_->readAt(std::uint64_t{number} * pageSize, scratch_).ok()) return false;
  if (encoded() && number != kHeaderPage) rc4ApplyPage(header_.databaseKey, number, scratch_);
  return std::memcmp(scratch_.data(), was.view().bytes().data(), pageSize) == 0;
}

void JetFile::startRecording() {
  recording_ = true;
  recorded_.clear();
}

std::vector<Page> JetFile::stopRecording() {
  recording_ = false;
  std::vector<Page> pages = std::move(recorded_);
  recorded_.clear();
  std::stable_sort(pages.begin(), pages.end(), [](const Page& a, const Page& b) { return a.number() < b.number(); });
  pages.erase(std::unique(pages.begin(), pages.end(),
                          [](const Page& a, const Page& b) { return a.number() == b.number(); }),
              pages.end());
  return pages;
}

void JetFile::dropCache() {
  cache_.clear();
  if (auto size = file_->size(); size.ok()) {
    pageCount_ = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(*size / layout().pageSize, 0xFFFFFF + 1));
  }
}

void JetFile::dropCache(const FileInfo& now) {
  cache_.clear();
  pageCount_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(now.size / layout().pageSize, 0xFFFFFF + 1));
}

Status JetFile::corrupt(std::uint32_t page, std::string_view what) const {
  return errors::corrupt(displayName_, page, what);
}

}  // namespace povezava::engine::jet
