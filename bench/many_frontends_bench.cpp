// `povezava-cli check` and `relink --backend` over many builder-made
// front-ends, in one process, sync included.
//
//   povezava_many_frontends_bench [FOLDER] [COUNT]
//
// FOLDER (default: a new folder under /var/tmp, removed afterwards; it must
// be on a real disk for the syncs to count) receives COUNT (default 500)
// front-ends, Jet 4 and Jet 3 alternately, and two back-end folders. Each
// relink run points every front-end at the other folder, so every run
// writes all three tables of every file. The commands run in-process through
// the same functions as the program (output to a discarding stream), then
// the real binary is run once per command for the whole-process figure.
//
// Memory: the peak resident size is reset (/proc/self/clear_refs) before a
// run over the first tenth of the files and again before the run over all of
// them; the two peaks must be about the same.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/check_command.h"
#include "cli/console.h"
#include "cli/relink_command.h"
#include "engine/jet_build/builder.h"
#include "engine/jet_build/sample_databases.h"
#include "base/unicode.h"
#include "platform/file_system.h"

namespace {

namespace fs = std::filesystem;
using namespace povezava;
using Clock = std::chrono::steady_clock;

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void fail(const std::string& what, const engine::Status& s) {
  std::fprintf(stderr, "%s: %s\n", what.c_str(), s.toString().c_str());
  std::exit(1);
}

// VmHWM (peak resident) or VmRSS from /proc/self/status, in KiB.
long procStatusKiB(const std::string& key) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(key + ":")) return std::atol(line.c_str() + key.size() + 1);
  }
  return -1;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct Run {
  double ms = 0;
  int status = 0;
  long peakKiB = 0;
};

Run runCommand(int (*command)(std::span<const std::string>, cli::Console&),
               const std::vector<std::string>& args) {
  NullBuffer nothing;
  std::ostream out(&nothing);
  std::ostream err(&nothing);
  links::Program program(engine::posixFileSystem());
  cli::Console console{out, err, false, &program};
  resetPeak();
  const auto t0 = Clock::now();
  const int status = command(args, console);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  return {ms, status, procStatusKiB("VmHWM")};
}

// The real program, once, as a script runs it; wall time and peak memory.
Run runBinary(const std::string& args) {
  const auto t0 = Clock::now();
  const int status = std::system((std::string(POVEZAVA_CLI_PATH) + ' ' + args + " >/dev/null 2>&1").c_str());
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return {ms, status, usage.ru_maxrss};
}

std::vector<std::string> withFiles(std::vector<std::string> args, const std::vector<std::string>& files,
                                   std::size_t count) {
  args.insert(args.end(), files.begin(), files.begin() + static_cast<std::ptrdiff_t>(count));
  return args;
}

void report(const char* what, std::size_t files, const Run& run) {
  std::printf("%-44s %4zu files  %8.1f ms  %6.3f ms/file  exit %d  peak RSS %ld KiB\n", what, files, run.ms,
              run.ms / static_cast<double>(files), run.status, run.peakKiB);
}

}  // namespace

int main(int argc, char** argv) {
  const bool ownFolder = argc < 2;
  const fs::path root =
      ownFolder ? fs::path("/var/tmp") / ("povezava-many-" + std::to_string(::getpid())) : fs::path(argv[1]);
  const std::size_t count = argc > 2 ? static_cast<std::size_t>(std::max(10, std::atoi(argv[2]))) : 500;
  fs::create_directories(root);

  // Back-end folders with long names, as real shares have: the paths go to
  // long-value rows.
  const std::string folders[2] = {(root / "Skupni podatki - racunovodstvo 2024").string(),
                                  (root / "Skupni podatki - racunovodstvo 2025").string()};
  for (const std::string& folder : folders) {
    fs::create_directories(folder);
    for (const auto& [name, spec] : {std::pair{"PARTNER.MDB", engine::jet::partnerBackEndSpec(engine::jet::Version::jet4)},
                                     std::pair{"QUERNO.MDB", engine::jet::quernoBackEndSpec(engine::jet::Version::jet4)}}) {
      const std::string path = folder + "/" + name;
      if (!fs::exists(path)) {
        if (auto s = engine::jet::buildDatabase(path, spec); !s.ok()) fail("build " + path, s);
      }
    }
  }
  std::vector<std::string> files;
  const auto built0 = Clock::now();
  for (std::size_t i = 0; i < count; ++i) {
    const std::string path = (root / ("FE" + std::to_string(i) + ".mdb")).string();
    files.push_back(path);
    if (fs::exists(path)) continue;
    engine::jet::FrontEndOptions options;
    options.version = i % 2 == 0 ? engine::jet::Version::jet4 : engine::jet::Version::jet3;
    options.partnerDatabase = u"C:\\Program Files\\Racunovodstvo\\Skupni podatki\\PARTNER.MDB";
    options.quernoDatabase = u"C:\\Program Files\\Racunovodstvo\\Skupni podatki\\QUERNO.MDB";
    if (auto s = engine::jet::buildDatabase(path, engine::jet::frontEndSpec(options)); !s.ok()) fail("build " + path, s);
  }
  std::printf("%zu front-ends ready in %s (%.1f s to build)\n", count, root.c_str(),
              std::chrono::duration<double>(Clock::now() - built0).count());

  const std::size_t tenth = count / 10;
  int to = 0;
  auto relinkArgs = [&](std::size_t n) {
    to = 1 - to;
    return withFiles({"--backend", folders[to]}, files, n);
  };

  // Warm the page cache and the engine once, so the runs compare like with like.
  report("relink --backend (warm-up)", count, runCommand(&cli::runRelink, relinkArgs(count)));
  report("check (in-process)", tenth, runCommand(&cli::runCheck, withFiles({}, files, tenth)));
  report("check (in-process)", count, runCommand(&cli::runCheck, withFiles({}, files, count)));
  report("relink --backend --dry-run (in-process)", count,
         runCommand(&cli::runRelink, withFiles({"--dry-run", "--backend", folders[1 - to]}, files, count)));
  report("relink --backend (in-process)", tenth, runCommand(&cli::runRelink, relinkArgs(tenth)));
  // The first tenth back where the rest points, so that each full run below
  // changes every file.
  (void)runCommand(&cli::runRelink, relinkArgs(tenth));
  report("relink --backend (in-process)", count, runCommand(&cli::runRelink, relinkArgs(count)));
  report("relink --backend (in-process)", count, runCommand(&cli::runRelink, relinkArgs(count)));

  std::string all;
  for (const std::string& f : files) all += " '" + f + "'";
  report("povezava-cli check (process)", count, runBinary("check" + all));
  to = 1 - to;
  report("povezava-cli relink --backend (process)", count,
         runBinary("relink --backend '" + folders[to] + "'" + all));

  if (ownFolder) fs::remove_all(root);
  return 0;
}
