#include "links/relink_form.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/link_path.h"
#include "base/native_text.h"
#include "engine/notices.h"
#include "paths/path_map.h"
#include "paths/path_map_sources.h"
#include "base/unicode.h"
#include "links/clerk_texts.h"
#include "links/inspection.h"
#include "links/link_location.h"
#include "links/relinking.h"
#include "links/startup.h"
#include "text/spaces.h"

namespace povezava::links {
namespace {

constexpr char kNoDisplay[] =
    "povezava: there is no display to show the window on.\n"
    "To relink without a window, name the front-end database and the back-end location:\n"
    "    povezava /path/to/TQ.mdb,/path/to/backends\n";

constexpr char kUsage[] =
    "usage: povezava                               the window, on TQ.mdB in the current folder\n"
    "       povezava FRONT-END[,BACK-END LOCATION]   relink at once and end\n"
    "       povezava --help | --version\n"
    "\n"
    "Re-points the linked tables PARTNER, KONTI and NALOGI of an Access front-end\n"
    "database. BACK-END LOCATION is the folder holding PARTNER.MDB and querno.MDB, or\n"
    "the path of the partner database itself; without it, povezava's own folder, or,\n"
    "when povezava is installed in a system folder (/usr, /opt, /snap, Program Files),\n"
    "the front-end's folder.\n"
    "A relink from the command line asks nothing: failures go to stderr, and the exit\n"
    "status is 0 when every table was relinked, 1 otherwise.\n";

char16_t lowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// The folder part of a front-end name as typed ("" for a bare file name).
std::u16string_view folderOf(std::u16string_view name) {
  const std::size_t at = name.find_last_of(u"/\\");
  if (at == std::u16string_view::npos) return {};
  return at == 0 ? name.substr(0, 1) : name.substr(0, at);
}


}  // namespace

Control text1(std::size_t index) { return index == 0 ? Control::Text1_0 : Control::Text1_1; }
Control text2(std::size_t index) { return index == 0 ? Control::Text2_0 : Control::Text2_1; }

std::optional<int> answerProgramRequest(std::u16string_view commandText, std::string_view version,
                                        std::ostream& out) {
  switch (programRequest(commandText)) {
    case ProgramRequest::help:
      out << kUsage;
      return 0;
    case ProgramRequest::version:
      out << "povezava " << version << '\n';
      return 0;
    case ProgramRequest::run:
      break;
  }
  return std::nullopt;
}

bool isSystemFolder(std::u16string_view programFolder) {
  std::u16string folder;
  for (char16_t c : programFolder) folder += c == u'\\' ? u'/' : lowerAscii(c);
  for (std::u16string_view root : {u"/usr", u"/opt", u"/snap"}) {
    if (folder == root || folder.starts_with(std::u16string(root) + u"/")) return true;
  }
  // A "Program Files" folder anywhere on the way ("C:\Program Files\Povezava").
  std::size_t at = 0;
  while (at <= folder.size()) {
    const std::size_t end = std::min(folder.find(u'/', at), folder.size());
    const std::u16string_view part = std::u16string_view(folder).substr(at, end - at);
    if (part == u"program files" || part == u"program files (x86)") return true;
    at = end + 1;
  }
  return false;
}

RelinkForm::RelinkForm(FormView& view, FormEnvironment env) : view_(view), env_(std::move(env)) {}

// ---- what the form shows ------------------------------------------------------

void RelinkForm::say(MessageKind kind, std::u16string_view slovenian, std::string_view english) {
  if (!english.empty()) {
    *env_.errors << "povezava: " << english << '\n';
    env_.errors->flush();
  }
  // A run from the command line never waits for an answer: stderr and the exit
  // status carry what it has to say.
  if (env_.display && !commandLineRun_) view_.showMessage(kind, slovenian);
}

void RelinkForm::reportFailure(const engine::Status& status) {
  if (status.ok()) return;
  say(MessageKind::error, clerkError(status), status.toString());
}

void RelinkForm::reportNotices() {
  std::u16string text;
  if (env_.program == nullptr) return;
  for (const engine::Notice& notice : env_.program->notices().takeRecords()) {
    *env_.errors << "povezava: " << notice.text << '\n';
    if (!text.empty()) text += u"\n\n";
    text += clerkNotice(notice);
  }
  env_.errors->flush();
  // Nothing failed: the clerk is told what happened and what comes next.
  if (!text.empty()) say(MessageKind::information, text, {});
}

// ---- texts ----------------------------------------------------------------------

WindowTexts RelinkForm::readTexts() const {
  WindowTexts t;
  t.ImeBaze = view_.text(Control::ImeBaze);
  t.imetab = view_.text(Control::imetab);
  for (std::size_t i = 0; i < 2; ++i) {
    t.Text1[i] = view_.text(text1(i));
    t.Text2[i] = view_.text(text2(i));
  }
  return t;
}

void RelinkForm::writeTexts(const WindowTexts& before, const WindowTexts& after) {
  // Only what changed, so that a box keeps its cursor when its text stays.
  if (after.ImeBaze != before.ImeBaze) view_.setText(Control::ImeBaze, after.ImeBaze);
  if (after.imetab != before.imetab) view_.setText(Control::imetab, after.imetab);
  for (std::size_t i = 0; i < 2; ++i) {
    if (after.Text1[i] != before.Text1[i]) view_.setText(text1(i), after.Text1[i]);
    if (after.Text2[i] != before.Text2[i]) view_.setText(text2(i), after.Text2[i]);
  }
}

// ---- where the program looks ----------------------------------------------------

std::u16string RelinkForm::proposalFolder(std::u16string_view frontEnd) const {
  if (!isSystemFolder(env_.programFolder)) return env_.programFolder;
  // Installed with the system's programs: the back-ends sit beside the front-end.
  const std::u16string_view folder = folderOf(frontEnd);
  return folder.empty() ? currentFolder() : std::u16string(folder);
}

std::u16string RelinkForm::browseFolder() const {
  if (!isSystemFolder(env_.programFolder)) return env_.programFolder;
  const std::u16string named = view_.text(Control::ImeBaze);
  const std::u16string_view folder = folderOf(named);
  if (folder.empty()) return currentFolder();
  std::string local = engine::toUtf8(folder);
#ifndef _WIN32
  // A drive or share is a folder of this computer only through the path map.
  if (engine::pathForm(folder) == engine::PathForm::windows) {
    const auto mapped = pathMap().toLocal(folder);
    if (!mapped) return currentFolder();
    local = *mapped;
  }
#endif
  std::error_code error;
  const std::filesystem::path absolute =
      std::filesystem::absolute(engine::pathFromUtf8(local), error).lexically_normal();
  return error ? currentFolder() : engine::fromUtf8(engine::utf8Of(absolute));
}

const engine::PathMap& RelinkForm::pathMap() const {
  static const engine::PathMap none;  // never changed
  return env_.program != nullptr ? env_.program->pathMap() : none;
}

// ---- handlers -------------------------------------------------------------------

std::optional<int> RelinkForm::formLoad() {
  const CommandLine line = parseCommandLine(env_.commandText);
  commandLineRun_ = line.present;
  if (!env_.display && !line.present) {
    *env_.errors << kNoDisplay;
    env_.errors->flush();
    return 2;
  }
  // A wrong paths file stops the run before anything is opened or written.
  if (env_.pathMapSources != nullptr && env_.program != nullptr) {
    std::vector<std::string> said;
    auto map = engine::loadPathMap(*env_.pathMapSources, env_.program->fileSystem(), said);
    for (std::string& sentence : said) env_.program->notices().notice(std::move(sentence));
    if (!map) {
      reportFailure(map.status());
      return 2;
    }
    env_.program->paths().setMap(std::move(*map));
  }

  const LoadSteps steps{
      [this](std::u16string name) { view_.setText(Control::ImeBaze, name); },
      [this] { return inspect(); },
      [this](const LinkStrings& proposals) {
        view_.setText(Control::Text2_0, proposals.partner);
        view_.setText(Control::Text2_1, proposals.codeTables);
      }};
  const LoadOutcome outcome = runLoad(env_.commandText, state_, steps, pathMap());
  if (outcome.status.ok()) return std::nullopt;
  if (commandLineRun_) {
    // Nobody may be asked anything: an install script waits for this process.
    *env_.errors << "povezava: " << outcome.status.toString() << '\n';
    env_.errors->flush();
    return 1;
  }
  // Started from a menu: the window shows, and the clerk can browse for the
  // front-end. A default front-end that is not here is no fault of theirs.
  const std::u16string named = view_.text(Control::ImeBaze);
  if (outcome.status.details().what == engine::ErrorCase::fileNotFound && named == kDefaultFrontEnd) {
    say(MessageKind::information, clerkDefaultMissing(named, currentFolder()), outcome.status.toString());
  } else {
    reportFailure(outcome.status);
  }
  return std::nullopt;
}

void RelinkForm::formActivate() {
  if (takeAutoLink(state_)) command1Click();
}

void RelinkForm::formUnload() {
  if (unloaded_) return;  // a view may report its closing twice; the database closes once
  unloaded_ = true;
  const engine::Status status = unloadLinks(state_);
  if (!status.ok()) {
    failed_ = true;
    reportFailure(status);
  }
}

engine::Status RelinkForm::inspect() {
  const WindowTexts before = readTexts();
  WindowTexts after = before;
  const engine::Status status =
      inspectLinks(*env_.engine, pathMap(), proposalFolder(before.ImeBaze), state_, after);
  // A failed open empties the boxes that showed the front-end before.
  writeTexts(before, after);
  if (status.ok()) {
    inspectedName_ = before.ImeBaze;
    // Access holding the front-end shows now, not when "Nova povezava" fails.
    const engine::Status lock = env_.engine->accessLockFile(before.ImeBaze);
    if (!lock.ok()) say(MessageKind::warning, clerkOpenInAccess(lock), lock.toString());
  } else {
    inspectedName_.reset();
  }
  reportNotices();
  return status;
}

void RelinkForm::command4Click() { reportFailure(inspect()); }

void RelinkForm::imeBazeClick() { command4Click(); }

void RelinkForm::refuse(MessageKind kind, std::u16string_view slovenian, std::string_view english) {
  // Interactively the window stays, so the clerk can put it right; a
  // command-line run ends with exit status 1.
  failed_ = true;
  say(kind, slovenian, english);
  if (commandLineRun_) closeAfterRelink();
}

void RelinkForm::closeAfterRelink() {
  formUnload();
  view_.closeWindow();
}

void RelinkForm::command1Click() {
  if (!hasFrontEnd(state_) || !inspectedName_) {
    refuse(MessageKind::warning, clerkNothingOpen(), "no front-end database is open, so nothing was written");
    return;
  }
  const WindowTexts t = readTexts();
  // Only the file whose links the window shows may be written, whatever name
  // ImeBaze spells it with.
  const engine::Result<bool> same = env_.engine->sameFile(t.ImeBaze, *inspectedName_);
  if (!same.ok() || !*same) {
    refuse(MessageKind::warning, clerkNotInspected(t.ImeBaze, *inspectedName_),
           "'" + engine::toUtf8(t.ImeBaze) + "' is not the front-end inspected last ('" +
               engine::toUtf8(*inspectedName_) + "'); nothing was written: inspect it first");
    return;
  }
  if (std::none_of(state_.LinkedTables.begin(), state_.LinkedTables.end(),
                   [](const auto& table) { return table != nullptr; })) {
    refuse(MessageKind::warning, clerkNoTables(*inspectedName_),
           "'" + engine::toUtf8(*inspectedName_) + "' has none of the tables PARTNER, KONTI, NALOGI; nothing "
           "was written");
    return;
  }

  // Link strings typed whole are stored as given; a relative one is worth a word.
  std::u16string relative;
  const LinkPlace place = LinkPlace::here(pathMap());
  for (const std::u16string& link : t.Text2) {
    if (const auto english = relativeLinkNotice(link, place)) {
      *env_.errors << "povezava: " << *english << '\n';
      if (!relative.empty()) relative += u"\n\n";
      relative += clerkRelativeLink(engine::linkPath(link).value_or(std::u16string_view{}), place.currentFolder);
    }
  }

  const std::vector<RelinkFailure> failures = relinkTables(state_, t);
  for (const RelinkFailure& failure : failures) *env_.errors << "povezava: " << describeFailure(failure) << '\n';
  env_.errors->flush();
  reportNotices();
  if (!failures.empty()) {
    std::u16string text = clerkRelinkFailures(failures);
    if (!relative.empty()) text += u"\n\n" + relative;
    refuse(MessageKind::error, text, {});
    return;
  }
  failed_ = false;
  if (!relative.empty()) say(MessageKind::information, relative, {});
  closeAfterRelink();
}

void RelinkForm::command2Click(int index) {
  const std::optional<std::u16string> chosen = view_.chooseDatabase(browseFolder());
  if (!chosen) return;  // cancelled: the box keeps its link string
  view_.setText(text2(index == 0 ? 0 : 1), linkString(*chosen, {}, LinkPlace::here(pathMap())));
}

void RelinkForm::command3Click() {
  const std::optional<std::u16string> chosen = view_.chooseDatabase(browseFolder());
  if (!chosen) return;  // cancelled: ImeBaze keeps its name
  view_.setText(Control::ImeBaze, *chosen);
}

}  // namespace povezava::links
