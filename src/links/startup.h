// Start-up: what the program's command line means, and the window's Load and
// Activate rules built on it.
//
// The command line is the program's arguments joined with single spaces: the
// front-end database path, optionally followed by "," and the back-end
// location (a folder holding PARTNER.MDB and querno.MDB, or the path of the
// partner database itself, ending in ".MDB" in any letter case). The word
// syntax is BESEDA's (text/beseda.h): a ";" after the front-end ends the list.
//
// backendLinkStrings() is the one rule that turns a back-end location into
// link strings; the window's start-up and `povezava-cli relink --backend`
// both use it.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "paths/path_map.h"
#include "links/window_state.h"
#include "text/path_helpers.h"

namespace povezava::links {

// The arguments (without the program's own name) joined with one space
// between each two; empty for no arguments.
std::u16string joinArguments(std::span<const std::u16string> arguments);

// True when `text` sorts after " " (one space) by character code: a text that
// is empty, or whose first character's code is below 32, or that is exactly
// " ", does not. This is how start-up tells an absent command line or back-end
// location from a present one.
bool sortsAfterSpace(std::u16string_view text);

// True when the last four characters (the whole text when shorter), upper-cased,
// are ".MDB".
bool hasMdbSuffix(std::u16string_view location);

// What the program is asked for before it opens anything: the command text
// (trimmed of spaces) "--help" or "-h" asks for the usage, "--version" for
// the version; anything else is a run.
enum class ProgramRequest { run, help, version };
ProgramRequest programRequest(std::u16string_view commandText);

// What the command text says.
struct CommandLine {
  bool present = false;       // the trimmed text sorts after " "
  std::u16string frontEnd;    // BESEDA's first word (may be empty); "" when absent
  std::u16string backEnd;     // the rest: the back-end location (may be empty)
};

// Trims spaces (code 32 only) from both ends of the command text, applies the
// " " rule and, when present, splits it with BESEDA.
CommandLine parseCommandLine(std::u16string_view commandText);

// New link strings for Text2[0] (the partner table) and Text2[1] (the code
// tables).
struct LinkStrings {
  std::u16string partner;
  std::u16string codeTables;
};

// The link strings a back-end location asks for, or nothing when the location
// does not sort after " " (then the proposals of inspection stay). The
// location is first made fit for a link (links/link_location.h: absolute, in
// Windows form where the path map covers it), then:
//   ends in ".MDB" (any case): ";DATABASE=" + location,
//                               ";DATABASE=" + StripFileName(location) + "\querno.MDB"
//   otherwise:                  ";DATABASE=" + location + "\PARTNER.MDB",
//                               ";DATABASE=" + location + "\querno.MDB"
// `separators` go to StripFileName (text/path_helpers.h); `map` is the
// program's path map (links/program.h).
std::optional<LinkStrings> backendLinkStrings(
    std::u16string_view location, const engine::PathMap& map,
    std::u16string_view separators = text::kPlatformSeparators);

// Puts backendLinkStrings(location) into texts.Text2[0] and texts.Text2[1];
// true when it did, false (boxes untouched) when the location does not sort
// after " ". Start-up's last step; `povezava-cli relink --backend` applies a
// location to a freshly inspected front-end the same way.
bool applyBackendLocation(std::u16string_view location, WindowTexts& texts, const engine::PathMap& map,
                          std::u16string_view separators = text::kPlatformSeparators);

// What the window's Load did.
struct LoadOutcome {
  bool arguments = false;  // the command line was present
  engine::Status status;   // the first inspection's Status
};

// The window's part in Load: where the front-end name and the proposals go,
// and the inspection to run (the window passes its Command4 Click, so Load
// runs it exactly as a press of "Osveži" would).
struct LoadSteps {
  std::function<void(std::u16string)> setImeBaze;
  std::function<engine::Status()> inspect;
  std::function<void(const LinkStrings&)> setProposals;
};

// The window's Load:
//  1. ImeBaze = "TQ.mdB".
//  2. parseCommandLine(commandText).
//  3. Without a command line: inspect; AutoLinkFlag = "False".
//  4. With one: ImeBaze = the first word (also when empty); inspect; then the
//     proposals from backendLinkStrings(back-end location), when it gives any;
//     AutoLinkFlag = "True".
// When inspection fails, Load stops there: the proposals are not replaced and
// AutoLinkFlag becomes "False", so no automatic relink can follow. The window
// decides what to do with the failure (report it; show the window without
// arguments, exit non-zero with them).
[[nodiscard]] LoadOutcome runLoad(std::u16string_view commandText, WindowState& state,
                                  const LoadSteps& steps, const engine::PathMap& map,
                                  std::u16string_view separators = text::kPlatformSeparators);

// runLoad() on plain texts, with inspectLinks() as the inspection.
[[nodiscard]] LoadOutcome startupLoad(engine::DBEngine& engine, const engine::PathMap& map,
                                      std::u16string_view appPath, std::u16string_view commandText,
                                      WindowState& state, WindowTexts& texts,
                                      std::u16string_view separators = text::kPlatformSeparators);

// The window's Activate: true when AutoLinkFlag reads "True"; then it is set to
// "False" first, so the caller relinks exactly once.
[[nodiscard]] bool takeAutoLink(WindowState& state);

}  // namespace povezava::links
