// One front-end's tables, one at a time: what check and relink walk.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "engine/engine.h"

namespace povezava::cli {

// Opens `frontEnd`, calls `each` for every table its catalogue lists (in
// order, system tables included), then `beforeClose` (when given) with the
// still open database, and closes it. Returns the first failure of opening
// (then nothing is called), of listing the tables (then only `beforeClose` is
// called) or of closing.
engine::Status forEachTableOf(engine::DBEngine& engine, std::u16string_view frontEnd,
                              const std::function<void(const std::shared_ptr<engine::TableDef>&)>& each,
                              const std::function<void(engine::Database&)>& beforeClose = {});

}  // namespace povezava::cli
