#include "links/relinking.h"

#include <algorithm>

#include "engine/link_path.h"
#include "paths/path_map.h"
#include "base/unicode.h"

namespace povezava::links {
namespace {

std::u16string currentLink(const engine::TableDef& table) {
  auto link = table.connect();
  return link ? std::move(*link) : std::u16string();
}

bool isLocal(const engine::TableDef& table) { return table.kind() == engine::TableKind::local; }

void fail(PlanResult& result, RelinkStep step, engine::Status status) {
  result.outcome = PlanOutcome::failed;
  result.step = step;
  result.status = std::move(status);
}

// The older way: each table written and stored on its own.
PlanResults relinkEach(engine::Database& db, std::span<const LinkPlan> plans, const RelinkOptions& options) {
  PlanResults results;
  for (const LinkPlan& plan : plans) {
    PlanResult result{plan.table->name(), currentLink(*plan.table), plan.link, PlanOutcome::failed, {}, {}};
    if (engine::Status s = plan.table->setConnect(plan.link); !s.ok()) {
      fail(result, RelinkStep::write, std::move(s));
    } else if (auto refused = options.localPaths ? std::nullopt
                                                 : windowsLinkToLocalPath(result.table, result.from, plan.link)) {
      fail(result, RelinkStep::localPath, std::move(*refused));
    } else if (s = options.dryRun ? plan.table->checkLink() : plan.table->refreshLink(); !s.ok()) {
      fail(result, RelinkStep::refresh, std::move(s));
    } else {
      result.outcome = options.dryRun ? PlanOutcome::wouldRelink : PlanOutcome::relinked;
    }
    results.tables.push_back(std::move(result));
  }
  // A dry run's "would relink" holds only if the real run could write the
  // file now.
  const bool any = std::any_of(results.tables.begin(), results.tables.end(),
                               [](const PlanResult& r) { return r.outcome == PlanOutcome::wouldRelink; });
  if (options.dryRun && any) {
    if (engine::Status writable = db.checkWritable(); !writable.ok()) {
      for (PlanResult& result : results.tables) {
        if (result.outcome == PlanOutcome::wouldRelink) fail(result, RelinkStep::frontEnd, writable);
      }
    }
  }
  return results;
}

}  // namespace

engine::Status heldBack(std::string_view failed) {
  return engine::Status{engine::kErrHeldBack, "Held back: not written because " + std::string(failed) +
                                                  " failed; a front-end's tables are relinked all together "
                                                  "or not at all."};
}

namespace {

void addName(std::string& names, std::string_view name) {
  if (!names.empty()) names += ", ";
  names += name;
}

}  // namespace

std::optional<engine::Status> windowsLinkToLocalPath(std::u16string_view table, std::u16string_view from,
                                                     std::u16string_view to) {
#ifdef _WIN32
  (void)table;
  (void)from;
  (void)to;
  return std::nullopt;
#else
  const auto before = engine::linkPath(from);
  const auto after = engine::linkPath(to);
  if (!before || !after || engine::pathForm(*before) != engine::PathForm::windows ||
      engine::pathForm(*after) != engine::PathForm::absolute) {
    return std::nullopt;
  }
  const std::string root = engine::toUtf8(engine::windowsRoot(*before));
  return engine::Status{
      engine::kErrWindowsLinkToLocalPath,
      engine::toUtf8(table) + " is linked through " + root + " ('" + engine::toUtf8(*before) +
          "'); the new link '" + engine::toUtf8(*after) +
          "' is a path of this computer, which no Windows PC can follow. Tell povezava where " + root +
          " lies here and relink again: add the line '" + root +
          " = FOLDER' to a paths file (or give --map '" + root +
          "=FOLDER'), with FOLDER the folder of this computer that " + root +
          " shows. To link to paths of this computer on purpose, povezava-cli takes --local-paths.",
      engine::ErrorDetails{engine::ErrorCase::unspecified, engine::toUtf8(*after), root, engine::toUtf8(*before), {}, 0,
                           {}}};
#endif
}

PlanResults relinkPlanned(engine::Database& db, std::span<const LinkPlan> plans, const RelinkOptions& options) {
  if (options.eachTable) return relinkEach(db, plans, options);
  PlanResults results;
  std::string failed;  // what holds the others back
  std::vector<std::shared_ptr<engine::TableDef>> toStore;
  for (const LinkPlan& plan : plans) {
    PlanResult result{plan.table->name(), currentLink(*plan.table), plan.link, PlanOutcome::failed, {}, {}};
    if (isLocal(*plan.table)) {
      // Not a linked table: refused on its own (the engine says why); the
      // linked tables do not wait for it.
      engine::Status s = plan.table->setConnect(plan.link);
      fail(result, RelinkStep::write,
           s.ok() ? engine::errors::notSupported("the local table '" + engine::toUtf8(result.table) +
                                                 "' has no link string")
                  : std::move(s));
      results.tables.push_back(std::move(result));
      continue;
    }
    if (engine::Status s = plan.table->setConnect(plan.link); !s.ok()) {
      fail(result, RelinkStep::write, std::move(s));
    } else if (auto refused = options.localPaths ? std::nullopt
                                                 : windowsLinkToLocalPath(result.table, result.from, plan.link)) {
      fail(result, RelinkStep::localPath, std::move(*refused));
    } else if (s = plan.table->checkLink(); !s.ok()) {
      fail(result, RelinkStep::refresh, std::move(s));
    } else {
      result.outcome = PlanOutcome::wouldRelink;
      toStore.push_back(plan.table);
    }
    if (result.outcome == PlanOutcome::failed) addName(failed, engine::toUtf8(result.table));
    results.tables.push_back(std::move(result));
  }
  const bool anyLinked = std::any_of(plans.begin(), plans.end(), [](const LinkPlan& p) { return !isLocal(*p.table); });
  if (anyLinked) {
    results.frontEnd = db.checkWritable();
    if (!results.frontEnd.ok()) addName(failed, "the front-end");
  }
  if (!failed.empty()) {
    const engine::Status why = heldBack(failed);
    for (PlanResult& result : results.tables) {
      if (result.outcome != PlanOutcome::wouldRelink) continue;
      result.outcome = PlanOutcome::heldBack;
      result.step = RelinkStep::heldBack;
      result.status = why;
    }
    return results;
  }
  if (options.dryRun || toStore.empty()) return results;
  const engine::Status stored = db.refreshLinks(toStore);
  for (PlanResult& result : results.tables) {
    if (result.outcome != PlanOutcome::wouldRelink) continue;
    if (stored.ok()) {
      result.outcome = PlanOutcome::relinked;
    } else {
      fail(result, RelinkStep::refresh, stored);
    }
  }
  return results;
}

bool hasFrontEnd(const WindowState& state) { return state.LinkDb != nullptr; }

std::vector<RelinkFailure> relinkTables(const WindowState& state, const WindowTexts& texts,
                                        const RelinkOptions& options) {
  std::vector<LinkPlan> plans;
  std::vector<Slot> slots;
  for (Slot slot : {kSlotPartner, kSlotKonti, kSlotNalogi}) {
    const auto& table = state.LinkedTables[slot];
    if (!table) continue;  // inspection found no such table
    plans.push_back({table, texts.Text2[linkBoxOf(slot)]});
    slots.push_back(slot);
  }
  std::vector<RelinkFailure> failures;
  const bool anyLinked = std::any_of(plans.begin(), plans.end(), [](const LinkPlan& p) { return !isLocal(*p.table); });
  PlanResults results;
  if (state.LinkDb != nullptr && !plans.empty()) {
    // Only the local tables when none is linked: each is refused on its own.
    results = relinkPlanned(*state.LinkDb, plans, options);
  }
  if (!results.frontEnd.ok()) {
    failures.push_back({kSlotPartner, {}, {}, RelinkStep::frontEnd, results.frontEnd});
  }
  for (const PlanOutcome kind : {PlanOutcome::failed, PlanOutcome::heldBack}) {
    for (std::size_t i = 0; i < results.tables.size(); ++i) {
      const PlanResult& r = results.tables[i];
      if (r.outcome == kind) failures.push_back({slots[i], r.table, r.to, r.step, r.status});
    }
  }
  if (!anyLinked) {
    failures.push_back({kSlotPartner, {}, {}, RelinkStep::noTables,
                        engine::Status{engine::kErrNoLinkedTables,
                                       "The front-end has none of PARTNER, KONTI and NALOGI as a linked table: "
                                       "nothing to relink."}});
  }
  return failures;
}

std::string describeFailure(const RelinkFailure& failure) {
  if (failure.table.empty()) return failure.status.toString();
  std::string line = engine::toUtf8(failure.table);
  switch (failure.step) {
    case RelinkStep::write: line += ": writing "; break;
    case RelinkStep::heldBack: line += ": held back "; break;
    case RelinkStep::refresh:
    case RelinkStep::frontEnd:
    case RelinkStep::localPath:
    case RelinkStep::noTables: line += ": refreshing "; break;
  }
  line += engine::toUtf8(failure.link);
  line += ": ";
  line += failure.status.toString();
  return line;
}

}  // namespace povezava::links
