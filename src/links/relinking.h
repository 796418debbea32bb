// Relinking: re-points the bound tables of the linked-table set to the link
// strings in the Text2 boxes.
#pragma once

#include <string>
#include <vector>

#include "engine/engine.h"
#include "links/window_state.h"

namespace povezava::links {

enum class RelinkStep {
  write,    // TableDef::setConnect
  refresh,  // TableDef::refreshLink
};

// One step of relinking that failed.
struct RelinkFailure {
  Slot slot;
  std::u16string table;   // the table's name as the front-end spells it
  std::u16string link;    // the link string that was to be written
  RelinkStep step;
  engine::Status status;  // the engine's error
};

// True when an inspection has a front-end open: relinking has something to
// write to. The window refuses "Nova povezava" without one.
bool hasFrontEnd(const WindowState& state);

// Relinks slot 0 to texts.Text2[0], then slot 1 and slot 2 to texts.Text2[1],
// in that order; for each bound slot first the write of the link string
// (exactly as the box reads: not trimmed, not checked), then the refresh. A
// failed step is absorbed and the next one runs (a refresh runs even when the
// write before it failed). Unbound slots are skipped silently.
//
// Returns every failed step, in order; empty when each bound table was
// relinked. A bound table is relinked only when both its steps succeeded, so
// a non-empty result means the run did not do all it was asked (the window
// lists the tables, the command line exits non-zero).
//
// Relinking does not close anything: the caller unloads the window
// (unloadLinks) afterwards.
std::vector<RelinkFailure> relinkTables(const WindowState& state, const WindowTexts& texts);

// "PARTNER: refreshing ;DATABASE=D:\DATA\PARTNER.MDB: error 3024: Could not find file ..."
// ("writing" for a refused link string):
// one line (UTF-8, no newline) for stderr or a message box.
std::string describeFailure(const RelinkFailure& failure);

}  // namespace povezava::links
