#include "cli/make_demo_command.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "engine/errors.h"
#include "engine/jet/sample_databases.h"
#include "engine/unicode.h"

namespace povezava::cli {

int runMakeDemo(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1 || args[0].empty() || args[0].front() == '-') {
    err << "usage: povezava-cli make-demo FOLDER\n";
    return 2;
  }
  namespace fs = std::filesystem;
  using namespace povezava::engine;
  std::error_code ec;
  const fs::path folder = fs::absolute(fs::path(args[0]), ec).lexically_normal();
  const fs::path data = folder / "data";
  if (!ec) fs::create_directories(data, ec);
  if (ec) {
    err << errors::fromErrno((ec ? data : folder).string(), ec.value()).toString() << '\n';
    return 1;
  }

  const fs::path oldLocation = folder / "old-location";
  jet::FrontEndOptions options;
  options.partnerDatabase = fromUtf8((oldLocation / "PARTNER.MDB").string());
  options.quernoDatabase = fromUtf8((oldLocation / "QUERNO.MDB").string());
  const struct {
    fs::path path;
    jet::DatabaseSpec spec;
  } files[] = {
      {data / "PARTNER.MDB", jet::partnerBackEndSpec(jet::Version::jet4)},
      {data / "QUERNO.MDB", jet::quernoBackEndSpec(jet::Version::jet4)},
      {folder / "TQ.mdb", jet::frontEndSpec(options)},
  };
  for (const auto& file : files) {
    if (fs::exists(file.path, ec)) {
      err << errors::databaseExists(file.path.string()).toString() << '\n';
      return 1;
    }
  }
  for (const auto& file : files) {
    Status built = jet::buildDatabase(file.path.string(), file.spec);
    if (!built.ok()) {
      err << built.toString() << '\n';
      return 1;
    }
    out << file.path.string() << '\n';
  }
  return 0;
}

}  // namespace povezava::cli
