#include "links/relinking.h"

#include "engine/unicode.h"

namespace povezava::links {
namespace {

// Writes one bound slot's link string and refreshes the link. The refresh
// runs even when the write failed; each failure is kept in `failures`.
void relinkSlot(engine::TableDef& table, Slot slot, const std::u16string& link,
                std::vector<RelinkFailure>& failures) {
  engine::Status written = table.setConnect(link);
  if (!written.ok()) {
    failures.push_back({slot, table.name(), link, RelinkStep::write, std::move(written)});
  }
  engine::Status refreshed = table.refreshLink();
  if (!refreshed.ok()) {
    failures.push_back({slot, table.name(), link, RelinkStep::refresh, std::move(refreshed)});
  }
}

}  // namespace

bool hasFrontEnd(const WindowState& state) { return state.LinkDb != nullptr; }

std::vector<RelinkFailure> relinkTables(const WindowState& state, const WindowTexts& texts) {
  std::vector<RelinkFailure> failures;
  for (Slot slot : {kSlotPartner, kSlotKonti, kSlotNalogi}) {
    const auto& table = state.LinkedTables[slot];
    if (!table) continue;  // inspection found no such table
    relinkSlot(*table, slot, texts.Text2[linkBoxOf(slot)], failures);
  }
  return failures;
}

std::string describeFailure(const RelinkFailure& failure) {
  std::string line = engine::toUtf8(failure.table);
  line += failure.step == RelinkStep::write ? ": writing " : ": refreshing ";
  line += engine::toUtf8(failure.link);
  line += ": ";
  line += failure.status.toString();
  return line;
}

}  // namespace povezava::links
