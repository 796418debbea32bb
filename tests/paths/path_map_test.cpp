#include "paths/path_map.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdlib>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "paths/path_map_sources.h"
#include "base/unicode.h"
#include "platform/file_system.h"
#include "support/test_support.h"

namespace povezava::engine {
namespace {

PathMap mapOf(const std::vector<std::string>& pairs) {
  PathMap map;
  for (const std::string& pair : pairs) {
    auto mapping = parseMapping(pair, "test");
    EXPECT_TRUE(mapping.ok()) << pair << ": " << mapping.status().toString();
    if (mapping) map.add(std::move(*mapping));
  }
  return map;
}

TEST(PathMapParse, PairsAsUsersWriteThem) {
  struct Case {
    const char* text;
    const char16_t* windows;  // null: refused
    const char* local;
  } cases[] = {
      {"S:=/srv/data", u"S:", "/srv/data"},
      {"  s:\\  =  /srv/data/  ", u"s:", "/srv/data"},
      {"S:\\APPS\\=/srv/apps", u"S:\\APPS", "/srv/apps"},
      {"S:/APPS/x = /srv/x", u"S:\\APPS\\x", "/srv/x"},
      {"\\\\SERVER\\share = /mnt/share", u"\\\\SERVER\\share", "/mnt/share"},
      {"//server.firma.si/share/sub=/mnt/my share", u"\\\\server.firma.si\\share\\sub", "/mnt/my share"},
      {"\\\\SERVER\\share = /", u"\\\\SERVER\\share", "/"},
      {"S: /srv/data", nullptr, nullptr},           // no "="
      {"S:=srv/data", nullptr, nullptr},            // relative local folder
      {"S:=", nullptr, nullptr},                    // no local folder
      {"SS:=/srv", nullptr, nullptr},               // not a drive
      {"S:APPS=/srv", nullptr, nullptr},            // drive-relative
      {"\\\\SERVER=/srv", nullptr, nullptr},        // a server without a share
      {"\\\\SERVER\\=/srv", nullptr, nullptr},
      {"\\\\\\share=/srv", nullptr, nullptr},       // no server
      {"/srv/data=/srv", nullptr, nullptr},         // a local path on the Windows side
      {"APPS=/srv", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    auto mapping = parseMapping(c.text, "here");
    if (c.windows == nullptr) {
      ASSERT_FALSE(mapping.ok()) << c.text;
      EXPECT_EQ(mapping.status().number(), kErrInvalidArgument) << c.text;
      continue;
    }
    ASSERT_TRUE(mapping.ok()) << c.text << ": " << mapping.status().toString();
    EXPECT_EQ(toUtf8(mapping->windows), toUtf8(c.windows)) << c.text;
    EXPECT_EQ(mapping->local, c.local) << c.text;
    EXPECT_EQ(mapping->origin, "here");
  }
}

TEST(PathMapForms, DrivesSharesAndLocalPaths) {
  struct Case {
    const char16_t* path;
    PathForm form;
    const char16_t* root;
  } cases[] = {
      {u"S:\\DATA\\P.MDB", PathForm::windows, u"S:"},
      {u"s:", PathForm::windows, u"s:"},
      {u"\\\\Server\\Share\\D\\P.MDB", PathForm::windows, u"\\\\Server\\Share"},
      {u"//server/share/P.MDB", PathForm::windows, u"\\\\server\\share"},
      {u"\\\\server", PathForm::windows, u"\\\\server"},
      {u"/srv/data", PathForm::absolute, u""},
      {u"\\srv\\data", PathForm::absolute, u""},
      {u"data\\P.MDB", PathForm::relative, u""},
      {u"1:\\x", PathForm::relative, u""},
      {u"", PathForm::relative, u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pathForm(c.path), c.form) << toUtf8(c.path);
    EXPECT_EQ(toUtf8(windowsRoot(c.path)), toUtf8(c.root)) << toUtf8(c.path);
  }
}

TEST(PathMapForward, LongestPrefixIgnoringCaseAndSeparatorKind) {
  const PathMap map = mapOf({"S: = /srv/s", "S:\\APPS = /srv/apps", "\\\\SERVER\\share = /mnt/share",
                             "\\\\server\\share\\deep\\er = /mnt/deeper", "R:\\ = /"});
  struct Case {
    const char16_t* windows;
    const char* local;  // null: not covered
  } cases[] = {
      {u"S:\\DATA\\PARTNER.MDB", "/srv/s/DATA/PARTNER.MDB"},
      {u"s:/data/partner.mdb", "/srv/s/data/partner.mdb"},
      {u"S:\\APPS\\TQ.mdb", "/srv/apps/TQ.mdb"},
      {u"S:\\apps", "/srv/apps"},
      {u"S:\\APPSX\\TQ.mdb", "/srv/s/APPSX/TQ.mdb"},  // a prefix ends where a component ends
      {u"S:\\\\P.MDB", "/srv/s/P.MDB"},
      {u"\\\\Server\\SHARE\\P.MDB", "/mnt/share/P.MDB"},
      {u"//server/share/deep/er/P.MDB", "/mnt/deeper/P.MDB"},
      {u"\\\\SERVER\\share\\deep\\P.MDB", "/mnt/share/deep/P.MDB"},
      {u"R:\\P.MDB", "/P.MDB"},
      {u"T:\\P.MDB", nullptr},
      {u"\\\\SERVER\\other\\P.MDB", nullptr},
      {u"\\\\SERVER\\shared\\P.MDB", nullptr},
      {u"/srv/s/P.MDB", nullptr},  // not in Windows form
      // "." and ".." are taken out; one that climbs out of the folder is refused.
      {u"S:\\DATA\\.\\x\\..\\P.MDB", "/srv/s/DATA/P.MDB"},
      {u"S:\\..\\..\\etc\\passwd", nullptr},
      {u"S:\\APPS\\..\\P.MDB", nullptr},  // climbs out of S:\APPS, the pair that covers it
  };
  for (const Case& c : cases) {
    const std::optional<std::string> local = map.toLocal(c.windows);
    if (c.local == nullptr) {
      EXPECT_FALSE(local) << toUtf8(c.windows) << " -> " << local.value_or("");
    } else {
      EXPECT_EQ(local.value_or("<none>"), c.local) << toUtf8(c.windows);
    }
  }
}

TEST(PathMapForward, ClimbingOutOfTheMappedFolderIsItsOwnError) {
  const PathMap map = mapOf({"P: = /srv/share"});
  const auto local = map.localOf(u"P:\\..\\..\\etc\\passwd");
  ASSERT_FALSE(local);
  EXPECT_EQ(local.status().number(), kErrOutsideMappedFolder);
  EXPECT_EQ(map.localOf(u"Q:\\x").status().number(), kErrNotValidPath);
}

TEST(PathMapReverse, LongestFolderThenFirstPair) {
  const PathMap map = mapOf({"S: = /srv/samba", "T: = /srv/samba", "\\\\SERVER\\apps = /srv/samba/apps",
                             "U:\\ = /srv/sam"});
  struct Case {
    const char16_t* local;
    const char16_t* windows;  // null: in no mapped folder
  } cases[] = {
      {u"/srv/samba/data", u"S:\\data"},  // S: and T: are as long: the first wins
      {u"/srv/samba", u"S:"},
      {u"/srv/samba/", u"S:"},
      {u"/srv/samba/apps/x/TQ.mdb", u"\\\\SERVER\\apps\\x\\TQ.mdb"},
      {u"/srv/samba\\data\\P.MDB", u"S:\\data\\P.MDB"},
      {u"/srv/sam/x", u"U:\\x"},
      {u"/srv/sambax/data", nullptr},
      {u"/srv", nullptr},
      {u"srv/samba/data", nullptr},  // relative: the caller makes it absolute first
      {u"S:\\data", nullptr},
      {u"/srv/samba/../other/DATA", nullptr},  // ".." taken out first: not in /srv/samba
      {u"/srv/x/../samba/data", u"S:\\data"},
  };
  for (const Case& c : cases) {
    const auto windows = map.toWindows(c.local);
    if (c.windows == nullptr) {
      EXPECT_FALSE(windows) << toUtf8(c.local);
    } else {
      EXPECT_EQ(toUtf8(windows.value_or(u"<none>")), toUtf8(c.windows)) << toUtf8(c.local);
    }
  }
}

TEST(PathMapMerge, EarlierPairWinsOnTheSamePrefix) {
  PathMap map;
  EXPECT_TRUE(map.add(*parseMapping("S:=/first", "a")));
  EXPECT_FALSE(map.add(*parseMapping("s:\\ = /second", "b")));
  EXPECT_TRUE(map.add(*parseMapping("S:\\x = /third", "c")));
  EXPECT_TRUE(map.add(*parseMapping("\\\\A\\b=/fourth", "d")));
  EXPECT_FALSE(map.add(*parseMapping("//a/B/=/fifth", "e")));
  ASSERT_EQ(map.mappings().size(), 3u);
  EXPECT_EQ(map.toLocal(u"S:\\P.MDB"), "/first/P.MDB");
  EXPECT_EQ(map.toLocal(u"\\\\a\\b\\P.MDB"), "/fourth/P.MDB");
}

TEST(PathMapNotMapped, NamesTheDriveOrShareAndHowToAddIt) {
  for (const auto& [path, root] : {std::pair{u"S:\\DATA\\X.MDB", "drive S:"},
                                   std::pair{u"\\\\SERVER\\share\\X.MDB", "share \\\\SERVER\\share"}}) {
    const Status s = notMapped(path);
    EXPECT_EQ(s.number(), kErrNotValidPath);
    EXPECT_NE(s.description().find("'" + toUtf8(path) + "'"), std::string::npos) << s.description();
    EXPECT_NE(s.description().find(root), std::string::npos) << s.description();
    EXPECT_NE(s.description().find("--map"), std::string::npos) << s.description();
    EXPECT_NE(s.description().find("paths file"), std::string::npos) << s.description();
  }
}

// ---- sources ----------------------------------------------------------------

TEST(SmbMounts, CifsAndSmb3MountsWithTheirEscapes) {
  const std::string mountinfo =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
      "40 22 0:35 / /mnt/share rw,relatime shared:20 - cifs //server/share rw,vers=3.0\n"
      "41 22 0:36 / /mnt/my\\040share rw shared:21 master:3 - smb3 //NAS.firma.si/Data\\040Files/sub rw\n"
      "42 22 0:37 /dept/acc /srv/acc rw - cifs //server/share rw\n"
      "43 22 0:38 / /mnt/nfs rw - nfs4 server:/export rw\n"
      "44 22 0:39 / /mnt/bad rw - cifs not-a-share rw\n"
      "garbage\n"
      "45 22 0:40 / /mnt/short rw - cifs\n";
  const std::vector<PathMapping> mounts = smbMounts(mountinfo);
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(toUtf8(mounts[0].windows), "\\\\server\\share");
  EXPECT_EQ(mounts[0].local, "/mnt/share");
  EXPECT_EQ(toUtf8(mounts[1].windows), "\\\\NAS.firma.si\\Data Files\\sub");
  EXPECT_EQ(mounts[1].local, "/mnt/my share");
  EXPECT_EQ(toUtf8(mounts[2].windows), "\\\\server\\share\\dept\\acc");  // a bind mount of a folder
  EXPECT_EQ(mounts[2].local, "/srv/acc");
  EXPECT_EQ(mounts[0].origin, "mount");
}

class PathMapSourcesTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& text) {
    const auto path = dir_.path() / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
    return path.string();
  }
  povezava::testing::TempDir dir_;
  std::vector<std::string> said_;  // what the loads said
};

TEST_F(PathMapSourcesTest, OptionsThenFilesInOrderThenMounts) {
  PathMapSources sources;
  sources.options = {"S:=/from/option"};
  sources.files = {write("user/paths", "# mine\n\n  S: = /from/user\nT:\\ = /from/user/t\r\n"),
                   dir_.path().string() + "/missing/paths",
                   write("etc/paths", "T: = /from/etc\nU: = /from/etc/u\n\\\\server\\share = /from/etc/share\n")};
  sources.mountTable = write("mountinfo",
                             "40 22 0:35 / /mnt/share rw - cifs //SERVER/share rw\n"
                             "41 22 0:36 / /mnt/other rw - cifs //server/other rw\n");
  auto map = loadPathMap(sources, posixFileSystem(), said_);
  ASSERT_TRUE(map.ok()) << map.status().toString();
  std::vector<std::string> lines;
  for (const PathMapping& m : map->mappings()) lines.push_back(toUtf8(m.windows) + "=" + m.local + " " + m.origin);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "S:=/from/option --map",
                       "T:=/from/user/t " + sources.files[0] + ":4",
                       "U:=/from/etc/u " + sources.files[2] + ":2",
                       "\\\\server\\share=/from/etc/share " + sources.files[2] + ":3",
                       "\\\\server\\other=/mnt/other mount",
                   }));
}

TEST_F(PathMapSourcesTest, AWrongLineFailsTheLoadNamingFileAndLine) {
  struct Case {
    std::string text;
    int line;
  } cases[] = {{"S: = /ok\nno equals sign\n", 2},
               {"# c\nS: = relative/folder\n", 2},
               {"\n\n\nDATA = /srv\n", 4}};
  for (const Case& c : cases) {
    PathMapSources sources;
    sources.files = {write("paths", c.text)};
    auto map = loadPathMap(sources, posixFileSystem(), said_);
    ASSERT_FALSE(map.ok()) << c.text;
    EXPECT_EQ(map.status().number(), kErrInvalidArgument);
    EXPECT_NE(map.status().description().find(sources.files[0] + ", line " + std::to_string(c.line) + ":"),
              std::string::npos)
        << map.status().description();
  }
  PathMapSources option;
  option.options = {"S:/srv"};
  auto map = loadPathMap(option, posixFileSystem(), said_);
  ASSERT_FALSE(map.ok());
  EXPECT_NE(map.status().description().find("--map 'S:/srv'"), std::string::npos) << map.status().description();
}

// Taken, but likely meant otherwise: each said with its file and line.
TEST_F(PathMapSourcesTest, WhatIsTakenButLikelyMeantOtherwiseIsSaid) {
  POVEZAVA_REQUIRE_POSIX("folders of this computer in Linux form");
  said_.clear();
  const std::string folder = dir_.path().string();
  PathMapSources sources;
  sources.files = {write("paths", "S: = " + folder + " # the share\nS: = " + folder + "\nT: = /nowhere/at/all\n")};
  auto map = loadPathMap(sources, posixFileSystem(), said_);
  ASSERT_TRUE(map.ok()) << map.status().toString();
  std::string said;
  for (const std::string& text : said_) said += text + "\n";
  const std::string file = sources.files[0];
  EXPECT_NE(said.find(file + ", line 1: '# the share' is taken as part of the folder"), std::string::npos) << said;
  EXPECT_NE(said.find(file + ", line 2: S: is mapped already"), std::string::npos) << said;
  EXPECT_NE(said.find(file + ", line 3: the folder '/nowhere/at/all' does not exist here"), std::string::npos) << said;
}

// A FIFO, a huge file or a line with escape sequences: an error at once,
// the line's control characters shown as \xNN.
TEST_F(PathMapSourcesTest, OnlyASmallRegularFileIsReadAndItsLinesAreShownSafely) {
#ifdef _WIN32
  GTEST_SKIP() << "named pipes and paths files are for Linux";
#else
  const std::string fifo = (dir_.path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string huge = write("huge", std::string(2 << 20, '#'));
  const std::string escapes = write("escapes", "S:\x1b]0;owned\x07\x1b[2J = /x\n");
  struct Case {
    std::string file;
    std::string said;
  } cases[] = {{fifo, "named pipe"}, {huge, "bytes long"}, {escapes, "\\x1b]0;owned\\x07\\x1b[2J"}};
  for (const Case& c : cases) {
    PathMapSources sources;
    sources.files = {c.file};
    auto map = loadPathMap(sources, posixFileSystem(), said_);
    ASSERT_FALSE(map.ok()) << c.file;
    EXPECT_NE(map.status().description().find(c.said), std::string::npos) << map.status().description();
    EXPECT_EQ(map.status().description().find('\x1b'), std::string::npos);
  }
#endif
}

// POVEZAVA_PATHS names the paths files instead of the usual ones; the hint
// of a path that no pair covers names the files that are read.
TEST(PathMapProgramSources, PovezavaPathsNamesTheFilesAndTheHintFollows) {
#ifdef _WIN32
  GTEST_SKIP() << "paths files are for Linux";
#else
  const auto restore = [](const char* name, const char* value) {
    if (value == nullptr) {
      ::unsetenv(name);
    } else {
      ::setenv(name, value, 1);
    }
  };
  const char* before = std::getenv("POVEZAVA_PATHS");
  const std::string kept = before == nullptr ? "" : before;
  const char* xdgBefore = std::getenv("XDG_CONFIG_HOME");
  const std::string xdgKept = xdgBefore == nullptr ? "" : xdgBefore;
  ::setenv("POVEZAVA_PATHS", "/a/paths::/b/paths", 1);
  EXPECT_EQ(programPathsFiles(), (std::vector<std::string>{"/a/paths", "/b/paths"}));
  EXPECT_EQ(programPathMapSources({}).files, (std::vector<std::string>{"/a/paths", "/b/paths"}));
  EXPECT_NE(notMapped(u"Q:\\x").description().find("/a/paths or /b/paths"), std::string::npos);
  ::setenv("POVEZAVA_PATHS", "", 1);
  EXPECT_TRUE(programPathsFiles().empty());
  ::unsetenv("POVEZAVA_PATHS");
  ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
  EXPECT_NE(notMapped(u"Q:\\x").description().find("/x/config/povezava/paths or /etc/povezava/paths"),
            std::string::npos)
      << notMapped(u"Q:\\x").description();
  restore("POVEZAVA_PATHS", before == nullptr ? nullptr : kept.c_str());
  restore("XDG_CONFIG_HOME", xdgBefore == nullptr ? nullptr : xdgKept.c_str());
#endif
}

TEST(PathMapProgramSources, ConfigHomeThenHomeThenEtcAndTheMountTableOnLinuxNoneOnWindows) {
  struct Case {
    const char* xdg;
    const char* home;
    std::vector<std::string> files;
  } cases[] = {
      {"/x/config", "/home/u", {"/x/config/povezava/paths", "/etc/povezava/paths"}},
      {nullptr, "/home/u", {"/home/u/.config/povezava/paths", "/etc/povezava/paths"}},
      {"", "/home/u", {"/home/u/.config/povezava/paths", "/etc/povezava/paths"}},
      {"relative", "/home/u", {"/home/u/.config/povezava/paths", "/etc/povezava/paths"}},
      {nullptr, nullptr, {"/etc/povezava/paths"}},
  };
  for (const Case& c : cases) {
    const PathMapSources sources = programPathMapSources({"S:=/x"}, c.xdg, c.home);
    EXPECT_EQ(sources.options, std::vector<std::string>{"S:=/x"});
#ifdef _WIN32
    // No paths file and no mount table: there "/etc/povezava/paths" would be
    // a folder of the current drive.
    EXPECT_TRUE(sources.files.empty()) << sources.files.front();
    EXPECT_TRUE(sources.mountTable.empty());
#else
    EXPECT_EQ(sources.files, c.files) << (c.xdg ? c.xdg : "(unset)");
    EXPECT_EQ(sources.mountTable, "/proc/self/mountinfo");
#endif
  }
}

}  // namespace
}  // namespace povezava::engine
