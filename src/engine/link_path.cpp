#include "engine/link_path.h"

#include "base/case_fold.h"

namespace povezava::engine {
namespace {

constexpr std::u16string_view kDatabaseKey = u"DATABASE=";

}  // namespace

std::u16string composeLink(std::u16string_view prefix, std::u16string_view path) {
  std::u16string link;
  link.reserve(prefix.size() + kDatabaseKey.size() + path.size());
  link += prefix;
  link += kDatabaseKey;
  link += path;
  return link;
}

std::u16string jetLink(std::u16string_view path) { return composeLink(kJetLinkPrefix, path); }

bool isJetLink(std::u16string_view link) {
  return link.starts_with(kJetLinkPrefix) &&
         startsWithIgnoringCase(link.substr(kJetLinkPrefix.size()), kDatabaseKey);
}

std::optional<PrefixAndPath> splitLink(std::u16string_view link) {
  const std::size_t at = foldCase(link).find(foldCase(kDatabaseKey));
  if (at == std::u16string::npos) return std::nullopt;
  return PrefixAndPath{link.substr(0, at), link.substr(at + kDatabaseKey.size())};
}

std::optional<std::u16string_view> linkPath(std::u16string_view link) {
  const auto parts = splitLink(link);
  if (!parts) return std::nullopt;
  return parts->path;
}

}  // namespace povezava::engine
