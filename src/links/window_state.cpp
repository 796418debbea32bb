#include "links/window_state.h"

namespace povezava::links {

std::u16string_view slotTableName(Slot slot) {
  switch (slot) {
    case kSlotPartner:
      return u"PARTNER";
    case kSlotKonti:
      return u"KONTI";
    case kSlotNalogi:
      return u"NALOGI";
  }
  return {};
}

std::size_t linkBoxOf(Slot slot) { return slot == kSlotPartner ? 0 : 1; }

}  // namespace povezava::links
