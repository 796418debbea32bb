#include "cli/make_demo_command.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <ostream>
#include <system_error>

#include "base/errors.h"
#include "engine/jet_build/sample_databases.h"
#include "base/native_text.h"
#include "base/unicode.h"

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

// Sizes beyond these make no demo: the files would take hours to write or the
// whole disk.
constexpr std::uint64_t kMaxDataBytes = std::uint64_t{1} << 30;  // 1 GiB
constexpr std::uint64_t kMaxQueries = 100'000;
// Room the three files take besides the local data: pages of the catalogue
// (a query row takes well under this), the tables and the back-ends.
constexpr std::uint64_t kBytesPerQuery = 256;
constexpr std::uint64_t kFixedBytes = 1 << 20;

// Why the sizes asked for make no sense, or nothing when they do. `folder`
// need not exist yet: the free space is that of its nearest existing folder.
std::optional<std::string> refusedSize(const std::filesystem::path& folder, std::uint64_t queries,
                                       std::uint64_t dataBytes) {
  if (dataBytes > kMaxDataBytes) {
    return "--data-bytes " + std::to_string(dataBytes) + " is more than a demo needs (at most " +
           std::to_string(kMaxDataBytes) + ", 1 GiB)";
  }
  if (queries > kMaxQueries) {
    return "--queries " + std::to_string(queries) + " is more than a demo needs (at most " +
           std::to_string(kMaxQueries) + ")";
  }
  std::filesystem::path existing = folder;
  std::error_code ec;
  while (!std::filesystem::exists(existing, ec) && existing.has_relative_path()) existing = existing.parent_path();
  const std::filesystem::space_info space = std::filesystem::space(existing, ec);
  const std::uint64_t needed = dataBytes + queries * kBytesPerQuery + kFixedBytes;
  if (!ec && space.available < needed) {
    return "the demo needs about " + std::to_string(needed) + " bytes; " + engine::utf8Of(existing) + " has " +
           std::to_string(space.available) + " free";
  }
  return std::nullopt;
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
  if (!ec) {
    // Refused before anything is written.
    if (auto why = refusedSize(folder, options.extraQueries, options.localDataBytes)) {
      err << "povezava-cli make-demo: " << *why << '\n';
      return 2;
    }
  }
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
