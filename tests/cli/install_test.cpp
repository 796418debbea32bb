// The installation: cmake --install --strip (as the README installs) into a
// temporary root, and the Debian package CPack builds, unpacked into another;
// the installed programs run.
#include <gtest/gtest.h>

#include <fstream>

#include "suite.h"

namespace povezava::cli {
namespace {

namespace fs = std::filesystem;
using povezava::testing::haveProgram;
using povezava::testing::runCommand;
using povezava::testing::shellQuote;
using povezava::testing::TempDir;
using namespace povezava::cli::testing;

constexpr bool kWindowBuilt = POVEZAVA_WINDOW_BUILT;

// Width and height from a PNG's IHDR chunk; 0, 0 when it is no PNG.
std::pair<unsigned, unsigned> pngSize(const fs::path& file) {
  const auto bytes = povezava::testing::readFile(file);
  static constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 24) return {0, 0};
  for (std::size_t i = 0; i < 8; ++i) {
    if (std::to_integer<unsigned char>(bytes[i]) != kSignature[i]) return {0, 0};
  }
  auto be32 = [&](std::size_t at) {
    unsigned v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | std::to_integer<unsigned>(bytes[at + i]);
    return v;
  };
  return {be32(16), be32(20)};
}

// Checks what an installation under `root` (prefix /usr) holds, and runs its
// povezava-cli on a front-end it has never seen.
void expectWorkingInstallation(const fs::path& root) {
  const fs::path usr = root / "usr";
  EXPECT_TRUE(fs::is_regular_file(usr / "share/man/man1/povezava-cli.1.gz"));
  // Debian policy: every package carries its copyright and a changelog.
  EXPECT_NE(povezava::testing::readFile(usr / "share/doc/povezava/copyright").size(), 0u);
  int gzipStatus = -1;
  const std::string changelog = runCommand(
      "gzip -dc " + shellQuote((usr / "share/doc/povezava/changelog.gz").string()) + " 2>&1", &gzipStatus);
  EXPECT_EQ(gzipStatus, 0) << changelog;
  EXPECT_TRUE(changelog.starts_with("povezava (" POVEZAVA_VERSION)) << changelog;
  if (kWindowBuilt) {
    EXPECT_TRUE(fs::is_regular_file(usr / "bin/povezava"));
    EXPECT_TRUE(fs::is_regular_file(usr / "share/man/man1/povezava.1.gz"));
    EXPECT_TRUE(fs::is_regular_file(usr / "share/applications/povezava.desktop"));
    for (unsigned size : {16u, 32u, 48u, 64u, 128u, 256u}) {
      const auto icon = usr / "share/icons/hicolor" / (std::to_string(size) + "x" + std::to_string(size)) /
                        "apps/povezava.png";
      EXPECT_EQ(pngSize(icon), std::make_pair(size, size)) << icon;
    }
  }

  const std::string cli = shellQuote((usr / "bin/povezava-cli").string());
  int status = -1;
  EXPECT_EQ(runCommand(cli + " --version", &status), "povezava-cli " POVEZAVA_VERSION "\n");
  EXPECT_EQ(status, 0);

  TempDir work;
  fs::path front;
  if (!povezava::testing::fixturesDir().empty()) {
    front = work.copy(povezava::testing::fixturesDir() / "jet4-v2000/TQ.mdb");
  } else {
    front = work.path() / "TQ.mdb";
    buildFrontEnd(front, u"C:\\APP\\PARTNER.MDB", u"C:\\APP\\QUERNO.MDB");
  }
  const std::string listed = runCommand(cli + " list " + shellQuote(front.string()), &status);
  EXPECT_EQ(status, 0);
  // The fixture lists PARTNER first, the builder's front-end its local table.
  EXPECT_NE(listed.find("PARTNER\tlinked\t;DATABASE=C:\\APP\\PARTNER.MDB\n"), std::string::npos) << listed;

  if (kWindowBuilt) {
    // The window program started with arguments relinks by itself and ends.
    // Its links say C:, so it needs to know where C: lies here; it then
    // writes the new links in the same form.
    buildBackEnds(work.path() / "data");
    const std::filesystem::path paths = work.path() / "paths";
    std::ofstream(paths) << "C: = " << work.path().string() << '\n';
    const std::string map = "POVEZAVA_PATHS=" + shellQuote(paths.string()) + ' ';
    runCommand(map + "QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 " +
                   shellQuote((usr / "bin/povezava").string()) + ' ' +
                   shellQuote(front.string() + ',' + (work.path() / "data").string()) + " 2>&1",
               &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(runCommand(map + cli + " check " + shellQuote(front.string()) + " 2>/dev/null | grep -c '\tok$'"),
              "3\n");
    EXPECT_NE(runCommand(cli + " list " + shellQuote(front.string())).find(";DATABASE=C:\\data\\PARTNER.MDB"),
              std::string::npos);
  }
}

TEST(InstallTest, CmakeInstallIntoATemporaryRoot) {
  TempDir root;
  int status = -1;
  const std::string said =
      runCommand("DESTDIR=" + shellQuote(root.path().string()) + ' ' + shellQuote(POVEZAVA_CMAKE_COMMAND) +
                     " --install " + shellQuote(POVEZAVA_BINARY_DIR) + " --prefix /usr --strip 2>&1",
                 &status);
  ASSERT_EQ(status, 0) << said;
  expectWorkingInstallation(root.path());
}

TEST(InstallTest, DebianPackageUnpacksAndRuns) {
  if (!haveProgram("dpkg-deb")) GTEST_SKIP() << "dpkg-deb is not installed";
  TempDir work;
  int status = -1;
  const std::string said = runCommand("cd " + shellQuote(work.path().string()) + " && " +
                                          shellQuote(POVEZAVA_CPACK_COMMAND) + " -G DEB --config " +
                                          shellQuote(std::string(POVEZAVA_BINARY_DIR) + "/CPackConfig.cmake") +
                                          " -B " + shellQuote(work.path().string()) + " 2>&1",
                                      &status);
  ASSERT_EQ(status, 0) << said;
  fs::path package;
  for (const auto& entry : fs::directory_iterator(work.path())) {
    if (entry.path().extension() == ".deb") package = entry.path();
  }
  ASSERT_FALSE(package.empty()) << said;
  const std::string info = runCommand("dpkg-deb -f " + shellQuote(package.string()) + " Package Version Depends");
  EXPECT_NE(info.find("Package: povezava\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Version: " POVEZAVA_VERSION), std::string::npos) << info;
  EXPECT_NE(info.find("libc6"), std::string::npos) << info;
  // Continuation lines of the description start with one blank: two would
  // be shown as verbatim text.
  const std::string description = runCommand("dpkg-deb -f " + shellQuote(package.string()) + " Description");
  EXPECT_NE(description.find("\n databases"), std::string::npos) << description;
  EXPECT_EQ(description.find("\n  "), std::string::npos) << description;

  const fs::path root = work.path() / "root";
  runCommand("dpkg-deb -x " + shellQuote(package.string()) + ' ' + shellQuote(root.string()), &status);
  ASSERT_EQ(status, 0);
  expectWorkingInstallation(root);
}

}  // namespace
}  // namespace povezava::cli
