// What the window tells the clerk, in Slovenian: one table of texts that every
// view of the form shows (the Qt window, the native Windows window). Short,
// polite, and saying what to do next.
//
// Errors are worded from their number and details (engine::ErrorDetails),
// never from their English description, and keep their number at the end:
// "Datoteke »TQ.mdB« ni mogoče najti. (napaka 3024)". An error this table
// does not know is still shown in Slovenian, with its number and file.
//
// The command line and stderr keep the English wording of engine::Status and
// describeFailure(), for scripts and logs.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/notices.h"
#include "base/status.h"
#include "links/relinking.h"

namespace povezava::links {

// An error for the clerk: what happened (and what to do), then "(napaka N)".
std::u16string clerkError(const engine::Status& status);

// A notice of the engine (an interrupted relink, a journal set aside).
std::u16string clerkNotice(const engine::Notice& notice);

// "Nova povezava" did not relink every table: the heading, one line per table
// ("PARTNER (;DATABASE=...): <error>"), and what to do.
std::u16string clerkRelinkFailures(std::span<const RelinkFailure> failures);

// Things the form says itself.
// "Nova povezava" without an open front-end.
std::u16string clerkNothingOpen();
// "Nova povezava" after ImeBaze was changed to name another file than the one
// whose links the window shows.
std::u16string clerkNotInspected(std::u16string_view named, std::u16string_view inspected);
// "Nova povezava" on a front-end that has none of PARTNER, KONTI, NALOGI.
std::u16string clerkNoTables(std::u16string_view frontEnd);
// A start without arguments whose default front-end is not in the current
// folder.
std::u16string clerkDefaultMissing(std::u16string_view frontEnd, std::u16string_view currentFolder);
// Osveži found Access's lock file beside the front-end (the error of
// engine::accessLockFileBeside).
std::u16string clerkOpenInAccess(const engine::Status& lock);
// A link string typed whole whose back-end path is relative.
std::u16string clerkRelativeLink(std::u16string_view path, std::u16string_view currentFolder);

}  // namespace povezava::links
