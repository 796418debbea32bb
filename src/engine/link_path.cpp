#include "engine/link_path.h"

#include <string>

#include "engine/case_fold.h"
#include "engine/jet/format/layout.h"

namespace povezava::engine {

std::optional<std::size_t> linkPathStart(std::u16string_view link) {
  const std::size_t at = foldCase(link).find(foldCase(jet::kConnectDatabaseKey));
  if (at == std::u16string::npos) return std::nullopt;
  return at + jet::kConnectDatabaseKey.size();
}

std::optional<std::u16string_view> linkPath(std::u16string_view link) {
  const auto start = linkPathStart(link);
  if (!start) return std::nullopt;
  return link.substr(*start);
}

}  // namespace povezava::engine
