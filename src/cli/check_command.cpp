#include "cli/check_command.h"

#include <ostream>

#include "cli/batch.h"
#include "cli/front_end_tables.h"
#include "cli/json.h"
#include "cli/odbc_password.h"
#include "paths/path_map.h"
#include "base/unicode.h"
#include "links/link_location.h"

namespace povezava::cli {
namespace {

using engine::Status;
using engine::TableKind;

constexpr char kUsage[] = "usage: povezava-cli check [--json] FILE...\n";
constexpr char kPasswordWarning[] =
    "warning: the ODBC connect text holds a password in plain text (PWD=...)";

struct Totals {
  std::size_t files = 0;
  std::size_t ok = 0;
  std::size_t broken = 0;
  std::size_t passwords = 0;
  std::size_t unopened = 0;
};

std::string textReport(const std::string& file, const FileCheck& check) {
  const std::string field = oneField(file);
  std::string text;
  if (!check.status.ok()) return field + "\t\t" + check.status.toString() + '\n';
  for (const TableCheck& table : check.tables) {
    text += field;
    text += '\t';
    text += oneField(engine::toUtf8(table.table));
    text += '\t';
    if (table.plainPassword) {
      text += kPasswordWarning;
    } else {
      text += table.status.ok() ? std::string("ok") : table.status.toString();
      if (!table.resolvedAgainst.empty()) {
        text += " (relative back-end path, resolved against " +
                oneField(engine::toUtf8(table.resolvedAgainst)) + ")";
      }
    }
    text += '\n';
  }
  return text;
}

std::string jsonReport(const std::string& file, const FileCheck& check) {
  JsonWriter json;
  json.beginObject().key("file").argument(file).key("error");
  if (check.status.ok()) {
    json.null();
  } else {
    writeStatus(json, check.status);
  }
  json.key("tables").beginArray();
  for (const TableCheck& table : check.tables) {
    json.beginObject().key("table").text(table.table);
    json.key("kind").argument(engine::kindName(table.kind));
    json.key("connect").text(table.connect);
    json.key("status").argument(!table.checked ? "not checked" : table.status.ok() ? "ok" : "error");
    if (!table.status.ok()) {
      json.key("error");
      writeStatus(json, table.status);
    }
    if (!table.resolvedAgainst.empty()) json.key("resolvedAgainst").text(table.resolvedAgainst);
    json.key("plainPassword").boolean(table.plainPassword).endObject();
  }
  json.endArray().endObject();
  return json.str() + '\n';
}

}  // namespace

FileCheck checkFrontEnd(engine::DBEngine& engine, std::u16string_view frontEnd) {
  FileCheck result;
  result.status = forEachTableOf(engine, frontEnd, [&](const std::shared_ptr<engine::TableDef>& table) {
    if (table->kind() == TableKind::local) return;
    auto connect = table->connect();
    TableCheck check{table->name(), table->kind(), {}, false, {}, false, {}};
    if (connect) {
      check.plainPassword = table->kind() == TableKind::odbc && holdsPlainPassword(*connect);
      check.connect = maskPasswords(*connect);
    }
    if (table->kind() == TableKind::odbc) {
      // An ODBC source is beyond the engine's reach; only its password is looked at.
      if (check.plainPassword) result.tables.push_back(std::move(check));
      return;
    }
    check.checked = true;
    check.status = connect ? table->checkLink() : connect.status();
    const auto path = table->backendPath();
    if (path && !path->empty() && engine::pathForm(*path) == engine::PathForm::relative) {
      check.resolvedAgainst = links::currentFolder();
    }
    result.tables.push_back(std::move(check));
  });
  return result;
}

int runCheck(std::span<const std::string> args, Console& console) {
  bool json = false;
  bool optionsEnd = false;
  std::vector<std::string> files;
  for (const std::string& arg : args) {
    if (!optionsEnd && arg == "--") {
      optionsEnd = true;
    } else if (!optionsEnd && arg == "--json") {
      json = true;
    } else if (!optionsEnd && arg.starts_with("--")) {
      console.err << "povezava-cli check: unknown option '" << arg << "'\n" << kUsage;
      return 2;
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) {
    console.err << kUsage;
    return 2;
  }

  Totals totals;
  const std::size_t failedFiles = forEachFile(files, console, [&](const std::string& file) {
    const FileCheck check = checkFrontEnd(console.program->engine(), engine::fromUtf8(file));
    ++totals.files;
    bool fine = check.status.ok();
    if (!fine) ++totals.unopened;
    for (const TableCheck& table : check.tables) {
      if (table.plainPassword) ++totals.passwords;
      if (!table.checked) continue;
      if (table.status.ok()) {
        ++totals.ok;
      } else {
        ++totals.broken;
        fine = false;
      }
    }
    console.out << (json ? jsonReport(file, check) : textReport(file, check));
    return fine;
  });

  console.err << "povezava-cli: " << totals.files << (totals.files == 1 ? " file" : " files")
              << " checked, " << totals.ok << (totals.ok == 1 ? " link" : " links") << " ok, "
              << totals.broken << " broken";
  if (totals.unopened > 0) console.err << ", " << totals.unopened << " not opened";
  if (totals.passwords > 0) console.err << ", " << totals.passwords << " with a password in plain text";
  console.err << '\n';
  return failedFiles == 0 ? 0 : 1;
}

}  // namespace povezava::cli
