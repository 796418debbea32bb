#include "links/startup.h"

#include <cstddef>
#include <utility>

#include "links/inspection.h"
#include "links/link_location.h"
#include "text/beseda.h"
#include "text/spaces.h"

namespace povezava::links {
namespace {

constexpr std::u16string_view kSpace = u" ";
constexpr std::u16string_view kMdbSuffix = u".MDB";
constexpr std::u16string_view kPartnerFile = u"\\PARTNER.MDB";
constexpr std::u16string_view kCodeTableFile = u"\\querno.MDB";

char16_t upperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

}  // namespace

std::u16string joinArguments(std::span<const std::u16string> arguments) {
  std::u16string joined;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) joined += u' ';
    joined += arguments[i];
  }
  return joined;
}

bool sortsAfterSpace(std::u16string_view text) {
  // Code-unit order, no case folding or locale: char_traits<char16_t>
  // compares the unsigned values.
  return text.compare(kSpace) > 0;
}

bool hasMdbSuffix(std::u16string_view location) {
  const std::u16string_view tail =
      location.size() < kMdbSuffix.size() ? location : location.substr(location.size() - kMdbSuffix.size());
  if (tail.size() != kMdbSuffix.size()) return false;
  // Only ASCII letters upper-case to "M", "D" and "B", so ASCII folding is
  // the whole of the upper-casing that matters here.
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (upperAscii(tail[i]) != kMdbSuffix[i]) return false;
  }
  return true;
}

ProgramRequest programRequest(std::u16string_view commandText) {
  const std::u16string_view text = text::trimSpaces(commandText);
  if (text == u"--help" || text == u"-h") return ProgramRequest::help;
  if (text == u"--version") return ProgramRequest::version;
  return ProgramRequest::run;
}

CommandLine parseCommandLine(std::u16string_view commandText) {
  CommandLine line;
  std::u16string text(text::trimSpaces(commandText));
  if (!sortsAfterSpace(text)) return line;
  line.present = true;
  line.frontEnd = text::BESEDA(text);
  line.backEnd = std::move(text);
  return line;
}

std::optional<LinkStrings> backendLinkStrings(std::u16string_view location, const engine::PathMap& map,
                                              std::u16string_view separators) {
  if (!sortsAfterSpace(location)) return std::nullopt;
  const LinkPlace place = LinkPlace::here(map);
  // Absolute (and in Windows form where the map says so) before the rules below.
  const std::u16string where = linkLocation(location, place);
  if (hasMdbSuffix(where)) {
    return LinkStrings{linkString(where, {}, place),
                       linkString(text::StripFileName(where, separators), kCodeTableFile, place)};
  }
  return LinkStrings{linkString(where, kPartnerFile, place), linkString(where, kCodeTableFile, place)};
}

bool applyBackendLocation(std::u16string_view location, WindowTexts& texts, const engine::PathMap& map,
                          std::u16string_view separators) {
  auto links = backendLinkStrings(location, map, separators);
  if (!links) return false;
  texts.Text2[0] = std::move(links->partner);
  texts.Text2[1] = std::move(links->codeTables);
  return true;
}

LoadOutcome runLoad(std::u16string_view commandText, WindowState& state, const LoadSteps& steps,
                    const engine::PathMap& map, std::u16string_view separators) {
  LoadOutcome outcome;
  steps.setImeBaze(std::u16string(kDefaultFrontEnd));
  CommandLine line = parseCommandLine(commandText);
  outcome.arguments = line.present;
  if (line.present) steps.setImeBaze(std::move(line.frontEnd));

  outcome.status = steps.inspect();
  if (!outcome.status.ok()) {
    // Nothing was inspected, so nothing may be relinked automatically.
    state.AutoLinkFlag = kFalse;
    return outcome;
  }
  if (line.present) {
    if (const auto proposals = backendLinkStrings(line.backEnd, map, separators)) {
      steps.setProposals(*proposals);
    }
  }
  state.AutoLinkFlag = line.present ? kTrue : kFalse;
  return outcome;
}

LoadOutcome startupLoad(engine::DBEngine& engine, const engine::PathMap& map, std::u16string_view appPath,
                        std::u16string_view commandText, WindowState& state, WindowTexts& texts,
                        std::u16string_view separators) {
  const LoadSteps steps{
      [&](std::u16string name) { texts.ImeBaze = std::move(name); },
      [&] { return inspectLinks(engine, map, appPath, state, texts); },
      [&](const LinkStrings& links) {
        texts.Text2[0] = links.partner;
        texts.Text2[1] = links.codeTables;
      }};
  return runLoad(commandText, state, steps, map, separators);
}

bool takeAutoLink(WindowState& state) {
  if (state.AutoLinkFlag != kTrue) return false;
  state.AutoLinkFlag = kFalse;
  return true;
}

}  // namespace povezava::links
