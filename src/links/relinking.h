// Relinking: re-points the tables of a front-end to new link strings, all of
// them or none.
//
// The rule the window ("Nova povezava", its command line) and povezava-cli
// share:
//
//   1. Before anything is written, every table's new link is checked (the
//      link string is taken, its back-end exists, is a database and holds the
//      table; a link in Windows form is not replaced by a local path, see
//      RelinkOptions::localPaths) together with the front-end (it can be
//      written now: no lock file, permissions, the journal's folder).
//   2. If any check fails, nothing is written: each failure is listed, and
//      every table that checked out is "held back" (kErrHeldBack, naming the
//      tables that failed).
//   3. Otherwise all the links are stored in one atomic write of the
//      front-end (Database::refreshLinks): all of them or, if that fails,
//      none.
//
// A table the front-end lacks is skipped; a local table (a local PARTNER) is
// refused on its own and does not hold the others back: it is not one of the
// linked tables being moved. A front-end that has none of the tables as a
// linked table is a failure (kErrNoLinkedTables). Links that are already
// stored are relinked again, which changes nothing: a relink run twice
// succeeds twice.
//
// RelinkOptions::eachTable keeps the older way, table by table: each link
// written and refreshed on its own, a failure absorbed and the next table
// tried (povezava-cli relink --each-table).
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "links/window_state.h"

namespace povezava::links {

struct RelinkOptions {
  // Check everything and write nothing; tables that would be relinked are
  // reported as such.
  bool dryRun = false;
  // Each table on its own (see above); a failed table holds back nothing.
  bool eachTable = false;
  // On Linux, a link in Windows form (a drive or a share) is not replaced by
  // a path in local form ("/srv/..."): every PC of the office would lose the
  // table (kErrWindowsLinkToLocalPath, naming the drive or share and the map
  // line to add). True allows it, for those who really link to local paths
  // (povezava-cli --local-paths). Windows builds never refuse.
  bool localPaths = false;
};

// Which step of a table's relink failed.
enum class RelinkStep {
  write,      // TableDef::setConnect refused the link string
  refresh,    // the back-end check failed, or storing the links failed
  frontEnd,   // the front-end cannot be written now (lock, permissions, journal folder)
  localPath,  // kErrWindowsLinkToLocalPath: a Windows link would become a local path
  heldBack,   // this table checked out; nothing was written because others failed
  noTables,   // kErrNoLinkedTables: the front-end has none of the tables linked
};

// One table that was not relinked, or one failure of the front-end as a
// whole (step frontEnd or noTables: `table` and `link` empty).
struct RelinkFailure {
  Slot slot;
  std::u16string table;   // the table's name as the front-end spells it
  std::u16string link;    // the link string that was to be written
  RelinkStep step;
  engine::Status status;  // the error; for heldBack, kErrHeldBack and the reason
};

// One table and the link string it is to get.
struct LinkPlan {
  std::shared_ptr<engine::TableDef> table;
  std::u16string link;
};

enum class PlanOutcome {
  relinked,     // stored
  wouldRelink,  // dry run: every check passed
  failed,       // `step` and `status` say why
  heldBack,     // checked out, not written: `status` is kErrHeldBack
};

struct PlanResult {
  std::u16string table;  // as the front-end spells it
  std::u16string from;   // the link string before
  std::u16string to;     // the link string asked for
  PlanOutcome outcome = PlanOutcome::failed;
  RelinkStep step = RelinkStep::refresh;
  engine::Status status;
};

struct PlanResults {
  // The front-end as a whole cannot be written now (lock file, permissions,
  // the journal's folder). A failure to store the links is each table's.
  engine::Status frontEnd;
  std::vector<PlanResult> tables;  // in the order of the plans
};

// The rule above for any tables of one front-end `db`: the command line's
// many forms (--backend, --replace, --folder, TABLE=LINK) use it directly.
// Local tables among the plans are refused on their own. Does not close `db`.
PlanResults relinkPlanned(engine::Database& db, std::span<const LinkPlan> plans,
                          const RelinkOptions& options = {});

// kErrHeldBack: "Held back: not written because <failed> failed; ...".
engine::Status heldBack(std::string_view failed);

// True when an inspection has a front-end open: relinking has something to
// write to. The window refuses "Nova povezava" without one.
bool hasFrontEnd(const WindowState& state);

// Relinks slot 0 to texts.Text2[0], slot 1 and slot 2 to texts.Text2[1]
// (each box's text exactly as it reads: not trimmed, not checked) by the rule
// above. Unbound slots are skipped.
//
// Returns every table that was not relinked and why, in slot order, after
// any front-end failure; empty when each bound table was relinked (or, in a
// dry run, would be). Failures come first in the list; the tables held back
// follow them. A non-empty result means the run did not do what it was asked
// (the window lists it, a command line exits non-zero).
//
// Relinking does not close anything: the caller unloads the window
// (unloadLinks) afterwards.
std::vector<RelinkFailure> relinkTables(const WindowState& state, const WindowTexts& texts,
                                        const RelinkOptions& options = {});

// "PARTNER: refreshing ;DATABASE=D:\DATA\PARTNER.MDB: error 3024: Could not find file ..."
// ("writing" for a refused link string, "held back" for a table not written
// because of the others; a front-end failure is its error alone):
// one line (UTF-8, no newline) for stderr or a message box.
std::string describeFailure(const RelinkFailure& failure);

// The 9003 refusal for a table whose link `from` is in Windows form and would
// become the local path of `to`: names the drive or share and the map line to
// add. Nothing when the change is no such one, or on Windows.
std::optional<engine::Status> windowsLinkToLocalPath(std::u16string_view table, std::u16string_view from,
                                                     std::u16string_view to);

}  // namespace povezava::links
