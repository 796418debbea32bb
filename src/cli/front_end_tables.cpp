#include "cli/front_end_tables.h"

namespace povezava::cli {

engine::Status forEachTableOf(engine::DBEngine& engine, std::u16string_view frontEnd,
                              const std::function<void(const std::shared_ptr<engine::TableDef>&)>& each,
                              const std::function<void(engine::Database&)>& beforeClose) {
  auto db = engine.openDatabase(frontEnd);
  if (!db) return db.status();
  engine::Status status;
  auto tables = (*db)->tableDefs();
  if (!tables) status = tables.status();
  for (std::size_t i = 0; tables && i < (*tables)->count(); ++i) each((*tables)->at(i));
  if (beforeClose) beforeClose(**db);
  if (engine::Status closed = (*db)->close(); !closed.ok() && status.ok()) status = closed;
  return status;
}

}  // namespace povezava::cli
