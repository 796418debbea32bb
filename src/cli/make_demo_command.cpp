#include "cli/make_demo_command.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#include "engine/errors.h"
#include "engine/native_text.h"
#include "engine/jet/sample_databases.h"
#include "engine/unicode.h"

namespace povezava::cli {

namespace {

constexpr const char* kUsage = "usage: povezava-cli make-demo FOLDER [--jet3] [--queries N] [--data-bytes N]\n";

// A whole non-negative decimal number, nothing else.
std::optional<std::uint64_t> parseCount(const std::string& text) {
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

int runMakeDemo(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  namespace fs = std::filesystem;
  using namespace povezava::engine;
  jet::FrontEndOptions options;
  const std::string* target = nullptr;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--jet3") {
      options.version = jet::Version::jet3;
      options.codePage = 1250;
    } else if ((arg == "--queries" || arg == "--data-bytes") && i + 1 < args.size()) {
      const auto count = parseCount(args[++i]);
      if (!count) {
        err << kUsage;
        return 2;
      }
      if (arg == "--queries") {
        options.extraQueries = static_cast<std::size_t>(*count);
      } else {
        options.localDataBytes = *count;
      }
    } else if (target == nullptr && !arg.empty() && arg.front() != '-') {
      target = &arg;
    } else {
      err << kUsage;
      return 2;
    }
  }
  if (target == nullptr) {
    err << kUsage;
    return 2;
  }
  std::error_code ec;
  const fs::path folder = fs::absolute(pathFromUtf8(*target), ec).lexically_normal();
  const fs::path data = folder / "data";
  if (!ec) fs::create_directories(data, ec);
  if (ec) {
    err << errors::fromErrorCode(*target, ec).toString() << "\n";
    return 1;
  }

  const fs::path oldLocation = folder / "old-location";
  options.partnerDatabase = fromUtf8(utf8Of(oldLocation / "PARTNER.MDB"));
  options.quernoDatabase = fromUtf8(utf8Of(oldLocation / "QUERNO.MDB"));
  const struct {
    fs::path path;
    jet::DatabaseSpec spec;
  } files[] = {
      {data / "PARTNER.MDB", jet::partnerBackEndSpec(options.version, options.codePage)},
      {data / "QUERNO.MDB", jet::quernoBackEndSpec(options.version, options.codePage)},
      {folder / "TQ.mdb", jet::frontEndSpec(options)},
  };
  for (const auto& file : files) {
    if (fs::exists(file.path, ec)) {
      err << errors::databaseExists(utf8Of(file.path)).toString() << '\n';
      return 1;
    }
  }
  for (const auto& file : files) {
    Status built = jet::buildDatabase(utf8Of(file.path), file.spec);
    if (!built.ok()) {
      err << built.toString() << '\n';
      return 1;
    }
    out << utf8Of(file.path) << '\n';
  }
  return 0;
}

}  // namespace povezava::cli
