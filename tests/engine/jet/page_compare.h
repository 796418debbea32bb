// Comparing two versions of a database file page by page.
#pragma once

#include <algorithm>
#include <cstddef>
#include <set>
#include <vector>

namespace povezava::engine::jet {

// The numbers of the pages whose bytes differ (a page present in one file
// only counts as different).
inline std::set<std::size_t> changedPages(const std::vector<std::byte>& a, const std::vector<std::byte>& b,
                                          std::size_t pageSize) {
  std::set<std::size_t> pages;
  for (std::size_t p = 0; p * pageSize < std::max(a.size(), b.size()); ++p) {
    const std::size_t at = p * pageSize;
    if (at + pageSize > a.size() || at + pageSize > b.size() ||
        !std::equal(a.begin() + static_cast<std::ptrdiff_t>(at),
                    a.begin() + static_cast<std::ptrdiff_t>(at + pageSize),
                    b.begin() + static_cast<std::ptrdiff_t>(at))) {
      pages.insert(p);
    }
  }
  return pages;
}

}  // namespace povezava::engine::jet
