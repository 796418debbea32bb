// Link inspection and unload.
//
// Inspection opens the front-end named in ImeBaze, binds the linked-table set,
// shows the current link strings of PARTNER and KONTI and proposes two new
// ones in the program's folder. Unload closes the database it opened.
#pragma once

#include <array>
#include <string_view>

#include "engine/engine.h"
#include "paths/path_map.h"
#include "links/window_state.h"

namespace povezava::links {

// What became of the steps whose failures inspection absorbs. Each failure is
// kept here for diagnostics (tests, a verbose command line); the window shows
// none of them.
struct InspectionSteps {
  std::array<engine::Status, kSlotCount> bind;  // binding slot 0, 1, 2
  std::array<engine::Status, 2> show;           // filling Text1[0], Text1[1]
};

// Link inspection, in this order:
//  1. Open texts.ImeBaze through `engine`, the name exactly as typed (not
//     trimmed, no folder added). On failure return the engine's Status after
//     letting go of the front-end shown before (releaseFrontEnd): the window
//     keeps running, and nothing may stay bound to a file it no longer names.
//  2. state.LinkDb = the opened database (the earlier one is released, not
//     closed); texts.imetab = "PARTNER, KONTI, NALOGI";
//     state.FirstTableName = "Partner".
//  3. From here on every failure is absorbed (kept in *steps when given) and
//     the next step runs:
//     - bind each slot to LinkDb's table of that name ("Partner", "KONTI",
//       "NALOGI"; the lookup ignores case and reads the table-definition
//       collection afresh each time). A slot whose table LinkDb lacks (or
//       whose lookup fails) is cleared, so relinking never writes through a
//       table of a database that is no longer shown;
//     - look PARTNER (as "Partner") and KONTI up again by name and put their
//       link strings into Text1[0], Text1[1]. When the table is missing, the
//       box is emptied; when only its link string cannot be read, the box
//       keeps its text;
//     - Text2[0] = ";DATABASE=" + appPath + "\PARTNER.MDB",
//       Text2[1] = ";DATABASE=" + appPath + "\QUERNO.MDB".
//  4. Return success.
// appPath is the folder that holds the program's executable, without a final
// separator; the link strings are made with the program's path map `map`
// (links/link_location.h).
[[nodiscard]] engine::Status inspectLinks(engine::DBEngine& engine, const engine::PathMap& map,
                                          std::u16string_view appPath,
                                          WindowState& state, WindowTexts& texts,
                                          InspectionSteps* steps = nullptr);

// Lets go of the front-end: LinkDb released (not closed), the three slots
// unbound, imetab and both Text1 boxes emptied. Text2 keeps what it holds
// (the user's link strings), as does FirstTableName. Relinking afterwards
// finds nothing to write (hasFrontEnd() is false).
void releaseFrontEnd(WindowState& state, WindowTexts& texts);

// The window's unload: closes state.LinkDb. Neither LinkDb nor the slots are
// cleared. Success when no inspection ever opened a database; otherwise the
// Status of the close.
[[nodiscard]] engine::Status unloadLinks(WindowState& state);

}  // namespace povezava::links
