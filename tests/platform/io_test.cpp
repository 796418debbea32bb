// The real file system's promises, the same on Linux (POSIX calls) and on
// Windows (the Win32 API, run under Wine): in-place writes, regular files
// only, the writer's lock, renames that never replace, names in UTF-8.
#include "base/io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/errors.h"
#include "engine/jet/write/link_writer.h"
#include "base/native_text.h"
#include "support/test_support.h"
#include "platform/file_system.h"

namespace povezava::engine {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::byte>;

Bytes bytesOf(std::string_view text) {
  Bytes out;
  for (char c : text) out.push_back(static_cast<std::byte>(c));
  return out;
}

class RealFileSystem : public ::testing::Test {
 protected:
  // A path in the test's folder, in UTF-8 as the engine takes it.
  std::string at(std::string_view name) const { return utf8Of(dir_.path()) + "/" + std::string(name); }
  FileSystem& fs_ = posixFileSystem();
  povezava::testing::TempDir dir_;
};

TEST_F(RealFileSystem, WritesGoInPlaceAndReadBack) {
  povezava::testing::writeFile(pathFromUtf8(at("a.mdb")), bytesOf("0123456789"));
  auto file = fs_.open(at("a.mdb"), OpenMode::readWrite);
  ASSERT_TRUE(file.ok()) << file.status().toString();
  const auto before = (*file)->info();
  ASSERT_TRUE(before.ok());
  ASSERT_TRUE((*file)->writeAt(3, bytesOf("abc")).ok());
  ASSERT_TRUE((*file)->sync().ok());
  Bytes back(4);
  ASSERT_TRUE((*file)->readAt(2, back).ok());
  EXPECT_EQ(back, bytesOf("2abc"));
  EXPECT_EQ(*(*file)->size(), 10u);
  EXPECT_EQ((*file)->info()->inode, before->inode);  // the same file, not a new one
  file->reset();
  EXPECT_EQ(povezava::testing::readFile(pathFromUtf8(at("a.mdb"))), bytesOf("012abc6789"));
}

TEST_F(RealFileSystem, ReadingPastTheEndIsADiskError) {
  povezava::testing::writeFile(pathFromUtf8(at("a.mdb")), bytesOf("0123"));
  auto file = fs_.open(at("a.mdb"), OpenMode::readOnly);
  ASSERT_TRUE(file.ok());
  Bytes out(8);
  EXPECT_EQ((*file)->readAt(0, out).number(), kErrDiskOrNetwork);
}

TEST_F(RealFileSystem, TruncateOnlyShortens) {
  povezava::testing::writeFile(pathFromUtf8(at("a.mdb")), bytesOf("0123456789"));
  auto file = fs_.open(at("a.mdb"), OpenMode::readWrite);
  ASSERT_TRUE(file.ok());
  ASSERT_TRUE((*file)->truncate(20).ok());
  EXPECT_EQ(*(*file)->size(), 10u);
  ASSERT_TRUE((*file)->truncate(4).ok());
  EXPECT_EQ(*(*file)->size(), 4u);
}

TEST_F(RealFileSystem, MissingFilesAndFoldersGetTheirJetErrors) {
  EXPECT_EQ(fs_.open(at("none.mdb"), OpenMode::readOnly).status().number(), kErrFileNotFound);
  EXPECT_FALSE(fs_.info(at("none.mdb"))->exists);
  const Status folder = fs_.open(utf8Of(dir_.path()), OpenMode::readOnly).status();
  EXPECT_EQ(folder.number(), kErrNotValidPath);
  EXPECT_NE(folder.description().find("is a folder"), std::string::npos) << folder.description();
  EXPECT_TRUE(fs_.info(utf8Of(dir_.path()))->isFolder);
}

TEST_F(RealFileSystem, CreateNewNeverOpensAnExistingFile) {
  auto made = fs_.open(at("j"), OpenMode::createNew);
  ASSERT_TRUE(made.ok()) << made.status().toString();
  EXPECT_EQ(fs_.open(at("j"), OpenMode::createNew).status().number(), kErrDatabaseExists);
}

// A folder kept open is read anew at each listing (an Access lock file that
// appears between a relink's checks is seen), and syncs through its handle.
TEST_F(RealFileSystem, AFolderKeptOpenListsWhatItHoldsNow) {
  povezava::testing::writeFile(pathFromUtf8(at("TQ.mdb")), bytesOf("x"));
  auto folder = fs_.openFolder(utf8Of(dir_.path()));
  ASSERT_TRUE(folder.ok()) << folder.status().toString();
  const auto sorted = [&]() -> std::vector<std::string> {
    auto names = (*folder)->list();
    EXPECT_TRUE(names.ok()) << names.status().toString();
    if (!names) return {};
    std::sort(names->begin(), names->end());
    return *names;
  };
  EXPECT_EQ(sorted(), std::vector<std::string>{"TQ.mdb"});
  povezava::testing::writeFile(pathFromUtf8(at("TQ.ldb")), bytesOf("x"));
  EXPECT_EQ(sorted(), (std::vector<std::string>{"TQ.ldb", "TQ.mdb"}));
  fs::remove(pathFromUtf8(at("TQ.ldb")));
  EXPECT_TRUE((*folder)->sync().ok());
  EXPECT_EQ(sorted(), std::vector<std::string>{"TQ.mdb"});
  auto byName = fs_.list(utf8Of(dir_.path()));
  ASSERT_TRUE(byName.ok());
  EXPECT_EQ(sorted(), *byName);

  // More names than one request to the server brings: every one, once.
  std::vector<std::string> many{"TQ.mdb"};
  for (int i = 0; i < 1000; ++i) {
    many.push_back("front-end of the accounting office, copy " + std::to_string(1000 + i) + ".mdb");
    povezava::testing::writeFile(pathFromUtf8(at(many.back())), {});
  }
  std::sort(many.begin(), many.end());
  EXPECT_EQ(sorted(), many);

  // No folder there (a missing name, a file): the open fails, or the
  // listing through it (a folder kept by name), naming it.
  for (const char* name : {"nowhere", "TQ.mdb"}) {
    auto none = fs_.openFolder(at(name));
    Status failed = none.status();
    if (none) {
      auto names = (*none)->list();
      ASSERT_FALSE(names.ok()) << name;
      failed = names.status();
    }
    EXPECT_NE(failed.description().find(name), std::string::npos) << failed.toString();
  }
}

TEST_F(RealFileSystem, RenameNeverReplaces) {
  povezava::testing::writeFile(pathFromUtf8(at("from")), bytesOf("new"));
  povezava::testing::writeFile(pathFromUtf8(at("to")), bytesOf("old"));
  EXPECT_EQ(fs_.rename(at("from"), at("to")).number(), kErrDatabaseExists);
  EXPECT_EQ(povezava::testing::readFile(pathFromUtf8(at("to"))), bytesOf("old"));
  ASSERT_TRUE(fs_.rename(at("from"), at("aside")).ok());
  EXPECT_FALSE(fs_.info(at("from"))->exists);
  EXPECT_EQ(povezava::testing::readFile(pathFromUtf8(at("aside"))), bytesOf("new"));
  ASSERT_TRUE(fs_.remove(at("aside")).ok());
  EXPECT_FALSE(fs_.info(at("aside"))->exists);
}

// The writer's lock lies far past the end of the file: a second writer is
// refused at once, and a reader of the file's bytes is never in its way.
TEST_F(RealFileSystem, TheWritersLockKeepsOutASecondWriterButNoReader) {
  povezava::testing::writeFile(pathFromUtf8(at("a.mdb")), Bytes(4096, std::byte{7}));
  auto first = fs_.open(at("a.mdb"), OpenMode::readWrite);
  auto second = fs_.open(at("a.mdb"), OpenMode::readWrite);
  ASSERT_TRUE(first.ok() && second.ok());
  ASSERT_TRUE((*first)->tryLock(jet::kWriteLockOffset).ok());
  EXPECT_EQ((*second)->tryLock(jet::kWriteLockOffset).number(), kErrFileInUse);
  auto reader = fs_.open(at("a.mdb"), OpenMode::readOnly);
  ASSERT_TRUE(reader.ok());
  Bytes page(4096);
  EXPECT_TRUE((*reader)->readAt(0, page).ok());
  EXPECT_TRUE((*second)->writeAt(0, Bytes(16, std::byte{1})).ok());  // a lock far away blocks no write
  (*first)->unlock(jet::kWriteLockOffset);
  EXPECT_TRUE((*second)->tryLock(jet::kWriteLockOffset).ok());
}

TEST_F(RealFileSystem, NamesAreUtf8BothWays) {
  const std::string folder = at("Računi šž");
  fs::create_directories(pathFromUtf8(folder));
  povezava::testing::writeFile(pathFromUtf8(folder + "/Žepni.mdb"), bytesOf("x"));
  auto names = fs_.list(folder);
  ASSERT_TRUE(names.ok()) << names.status().toString();
  EXPECT_EQ(*names, std::vector<std::string>{"Žepni.mdb"});
  auto file = fs_.open(folder + "/Žepni.mdb", OpenMode::readOnly);
  ASSERT_TRUE(file.ok()) << file.status().toString();
  auto real = fs_.realPath(folder + "/./Žepni.mdb");
  ASSERT_TRUE(real.ok()) << real.status().toString();
  EXPECT_EQ(pathFromUtf8(*real), fs::canonical(pathFromUtf8(folder + "/Žepni.mdb")));
}

TEST_F(RealFileSystem, ErrorsFromTheStandardLibraryMapLikeTheSystemsOwn) {
  std::error_code missing;
  (void)fs::file_size(pathFromUtf8(at("none.mdb")), missing);
  ASSERT_TRUE(missing);
  EXPECT_EQ(errors::fromErrorCode("none.mdb", missing).number(), kErrFileNotFound);
  EXPECT_EQ(errors::fromErrorCode("x", std::make_error_code(std::errc::no_space_on_device)).number(),
            kErrNotEnoughSpace);
}

}  // namespace
}  // namespace povezava::engine
