#include "engine/jet/relink.h"

#include "engine/errors.h"

namespace povezava::engine::jet {

// Placeholder until the catalogue writer lands: nothing is written.
Status refreshLink(JetDatabase& /*database*/, JetTableDef& /*table*/) {
  return errors::notSupported("re-pointing a linked table is not available yet");
}

}  // namespace povezava::engine::jet
