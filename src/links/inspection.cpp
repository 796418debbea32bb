#include "links/inspection.h"

#include <memory>
#include <string>
#include <utility>

#include "links/link_location.h"

namespace povezava::links {
namespace {

// The name each slot is looked up by: slot 0 by FirstTableName, so that the
// table PARTNER is found as "Partner" (the lookup ignores case).
std::u16string lookupName(const WindowState& state, Slot slot) {
  return slot == kSlotPartner ? state.FirstTableName : std::u16string(slotTableName(slot));
}

// Fetches the table-definition collection afresh and asks it for `name`.
engine::Result<std::shared_ptr<engine::TableDef>> lookUp(engine::Database& db,
                                                         std::u16string_view name) {
  auto defs = db.tableDefs();
  if (!defs.ok()) return defs.status();
  return (*defs)->item(name);
}

// Binds one slot. A failed lookup clears the slot: what it held belongs to
// a database that is no longer shown.
engine::Status bindSlot(WindowState& state, Slot slot) {
  auto table = lookUp(*state.LinkDb, lookupName(state, slot));
  if (!table.ok()) {
    state.LinkedTables[slot].reset();
    return table.status();
  }
  state.LinkedTables[slot] = std::move(*table);
  return engine::Status::success();
}

// Shows the current link string of slot 0 or 1 in its Text1 box, looking the
// table up by name again rather than through the slot.
engine::Status showLink(const WindowState& state, WindowTexts& texts, Slot slot) {
  std::u16string& box = texts.Text1[slot];
  auto table = lookUp(*state.LinkDb, lookupName(state, slot));
  if (!table.ok()) {
    // The table is not in this database: its old text would describe
    // another one.
    box.clear();
    return table.status();
  }
  auto link = (*table)->connect();
  if (!link.ok()) return link.status();  // the box keeps its text
  box = std::move(*link);
  return engine::Status::success();
}

}  // namespace

engine::Status inspectLinks(engine::DBEngine& engine, const engine::PathMap& map, std::u16string_view appPath,
                            WindowState& state, WindowTexts& texts, InspectionSteps* steps) {
  // Up to the open nothing is absorbed.
  auto db = engine.openDatabase(texts.ImeBaze);
  if (!db.ok()) {
    releaseFrontEnd(state, texts);
    return db.status();
  }
  state.LinkDb = std::move(*db);
  texts.imetab = kTableList;
  state.FirstTableName = kFirstTableName;

  // From here on each step's failure is kept and the next step runs.
  InspectionSteps absorbed;
  absorbed.bind[kSlotPartner] = bindSlot(state, kSlotPartner);
  absorbed.bind[kSlotKonti] = bindSlot(state, kSlotKonti);
  absorbed.bind[kSlotNalogi] = bindSlot(state, kSlotNalogi);
  absorbed.show[kSlotPartner] = showLink(state, texts, kSlotPartner);
  absorbed.show[kSlotKonti] = showLink(state, texts, kSlotKonti);
  const LinkPlace place = LinkPlace::here(map);
  texts.Text2[0] = linkString(appPath, u"\\PARTNER.MDB", place);
  texts.Text2[1] = linkString(appPath, u"\\QUERNO.MDB", place);

  if (steps != nullptr) *steps = std::move(absorbed);
  return engine::Status::success();
}

void releaseFrontEnd(WindowState& state, WindowTexts& texts) {
  state.LinkDb.reset();
  for (auto& slot : state.LinkedTables) slot.reset();
  texts.imetab.clear();
  for (auto& box : texts.Text1) box.clear();
}

engine::Status unloadLinks(WindowState& state) {
  if (!state.LinkDb) return engine::Status::success();
  return state.LinkDb->close();
}

}  // namespace povezava::links
