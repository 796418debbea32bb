// The state the link operations share with the window, and the texts of the
// window's boxes that they read and write.
//
// The window keeps one WindowState and copies its widget texts into a
// WindowTexts before it calls an operation of links/, and back out after it.
// Nothing here knows about widgets, so every rule is testable without a
// display.
//
// The linked-table set: three tables in fixed slots. Slot 0 (PARTNER) belongs
// to the partner back-end and takes its new link string from Text2[0]; slots 1
// (KONTI) and 2 (NALOGI) belong to the code-table back-end and both take theirs
// from Text2[1]. Only slots 0 and 1 have a box for the current link string
// (Text1[0], Text1[1]).
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace povezava::links {

// Slots of the linked-table set.
enum Slot : std::size_t {
  kSlotPartner = 0,
  kSlotKonti = 1,
  kSlotNalogi = 2,
};
inline constexpr std::size_t kSlotCount = 3;

// The tables' names as the program writes them in messages ("PARTNER",
// "KONTI", "NALOGI"). Slot 0 is looked up as kFirstTableName.
std::u16string_view slotTableName(Slot slot);

// The index of the Text2 box whose link string a slot takes: 0 for PARTNER,
// 1 for KONTI and NALOGI.
std::size_t linkBoxOf(Slot slot);

// Texts the program fixes.
inline constexpr std::u16string_view kDefaultFrontEnd = u"TQ.mdB";   // ImeBaze at start
inline constexpr std::u16string_view kTableList = u"PARTNER, KONTI, NALOGI";  // imetab
inline constexpr std::u16string_view kFirstTableName = u"Partner";  // slot 0's lookup name
inline constexpr std::u16string_view kTrue = u"True";
inline constexpr std::u16string_view kFalse = u"False";

// The window-level state fields, in the window's declaration order.
struct WindowState {
  // Name under which slot 0 is looked up; inspection sets it to "Partner".
  std::u16string FirstTableName;
  // The front-end opened by the latest successful inspection; empty before.
  // Replaced (released, not closed) by the next one; closed by unloadLinks().
  std::shared_ptr<engine::Database> LinkDb;
  // Slot i's table definition of LinkDb, or empty when LinkDb has no such
  // table (relinking then skips the slot). A table definition keeps LinkDb
  // alive.
  std::array<std::shared_ptr<engine::TableDef>, kSlotCount> LinkedTables;
  // "True": relink the first time the window becomes active. Start-up stores
  // "True" or "False"; empty before start-up.
  std::u16string AutoLinkFlag;
};

// The texts of the window's boxes that the link operations use.
struct WindowTexts {
  std::u16string ImeBaze;                 // front-end database path (combo box)
  std::u16string imetab;                  // names of the linked tables
  std::array<std::u16string, 2> Text1;    // current link strings of PARTNER, KONTI
  std::array<std::u16string, 2> Text2;    // new link strings: partner, code tables
};

}  // namespace povezava::links
