// The window with a Windows path map: the link strings it builds from local
// locations (its proposals, the browse buttons, its command line) come out in
// Windows form, and link strings typed whole are stored as given.
#include <gtest/gtest.h>

#include <fstream>

#include "links/fake_engine.h"
#include "support/path_map_guard.h"
#include "support/test_support.h"
#include "window/app.h"
#include "window_harness.h"

namespace povezava::window {
namespace {

using links::testing::FakeEngine;
using testing::Harness;

class MappedWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    tq_ = engine_.addFrontEnd(u"/srv/app/TQ.mdb");
    engine_.addFrontEnd(u"TQ.mdB");
  }
  FakeEngine engine_;
  std::shared_ptr<links::testing::FakeFile> tq_;
  povezava::testing::ProcessPathMap map_{{"S: = /srv", "\\\\SERVER\\apps = /opt"}};
};

TEST_F(MappedWindow, ProposalsFromTheProgramFolderAreInWindowsForm) {
  Harness h(engine_, QStringLiteral("/opt/povezava"));
  ASSERT_TRUE(h.window->formLoad().ok());
  EXPECT_EQ(h.text("Text2(0)"), QStringLiteral(";DATABASE=\\\\SERVER\\apps\\povezava\\PARTNER.MDB"));
  EXPECT_EQ(h.text("Text2(1)"), QStringLiteral(";DATABASE=\\\\SERVER\\apps\\povezava\\QUERNO.MDB"));
}

TEST_F(MappedWindow, TheCommandLineLocationIsWrittenInWindowsForm) {
  struct Row {
    QString commandText;
    QString partner;
    QString codes;
  } rows[] = {
      {QStringLiteral("/srv/app/TQ.mdb,/srv/data"), QStringLiteral(";DATABASE=S:\\data\\PARTNER.MDB"),
       QStringLiteral(";DATABASE=S:\\data\\querno.MDB")},
      {QStringLiteral("/srv/app/TQ.mdb,/srv/data/Partner.mdb"), QStringLiteral(";DATABASE=S:\\data\\Partner.mdb"),
       QStringLiteral(";DATABASE=S:\\data\\querno.MDB")},
      {QStringLiteral("/srv/app/TQ.mdb,/home/data"), QStringLiteral(";DATABASE=/home/data\\PARTNER.MDB"),
       QStringLiteral(";DATABASE=/home/data\\querno.MDB")},
      {QStringLiteral("/srv/app/TQ.mdb,T:\\DATA"), QStringLiteral(";DATABASE=T:\\DATA\\PARTNER.MDB"),
       QStringLiteral(";DATABASE=T:\\DATA\\querno.MDB")},
  };
  for (const Row& row : rows) {
    Harness h(engine_, QStringLiteral("/opt/povezava"), row.commandText, false);
    ASSERT_TRUE(h.window->formLoad().ok()) << row.commandText.toStdString();
    EXPECT_EQ(h.text("Text2(0)"), row.partner);
    EXPECT_EQ(h.text("Text2(1)"), row.codes);
  }
  // Relative: against the current folder first.
  povezava::testing::TempDir folder;
  povezava::testing::ProcessPathMap there({"S: = " + folder.path().string()});
  const povezava::testing::CurrentFolder here(folder.path());
  Harness h(engine_, QStringLiteral("/opt/povezava"), QStringLiteral("/srv/app/TQ.mdb,data"), false);
  ASSERT_TRUE(h.window->formLoad().ok());
  EXPECT_EQ(h.text("Text2(0)"), QStringLiteral(";DATABASE=S:\\data\\PARTNER.MDB"));
}

TEST_F(MappedWindow, ABrowsedFileIsWrittenInWindowsForm) {
  Harness h(engine_, QStringLiteral("/opt/povezava"));
  ASSERT_TRUE(h.window->formLoad().ok());
  h.dialog.answers = {QStringLiteral("/srv/data/PARTNER.MDB"), QStringLiteral("/home/u/QUERNO.MDB")};
  h.click("Command2(0)");
  h.click("Command2(1)");
  EXPECT_EQ(h.text("Text2(0)"), QStringLiteral(";DATABASE=S:\\data\\PARTNER.MDB"));
  EXPECT_EQ(h.text("Text2(1)"), QStringLiteral(";DATABASE=/home/u/QUERNO.MDB"));
}

TEST_F(MappedWindow, ATypedRelativeLinkIsStoredAsGivenAndSaidSo) {
  engine_.backends = {u"data\\PARTNER.MDB", u"S:\\data\\QUERNO.MDB"};
  Harness h(engine_, QStringLiteral("/opt/povezava"));
  ASSERT_TRUE(h.window->formLoad().ok());
  h.setText("Text2(0)", QStringLiteral(";DATABASE=data\\PARTNER.MDB"));
  h.setText("Text2(1)", QStringLiteral(";DATABASE=S:\\data\\QUERNO.MDB"));
  h.click("Command1");
  EXPECT_EQ(h.window->state().LinkDb->name(), u"TQ.mdB");
  ASSERT_EQ(h.boxes.texts.size(), 1);
  EXPECT_TRUE(h.boxes.texts[0].contains(QStringLiteral("'data\\PARTNER.MDB' is relative")))
      << h.boxes.texts[0].toStdString();
  EXPECT_FALSE(h.boxes.texts[0].contains(QStringLiteral("QUERNO"))) << h.boxes.texts[0].toStdString();
  EXPECT_NE(h.errors.str().find("is relative"), std::string::npos) << h.errors.str();
}

TEST(WindowPathMap, AWrongPathsFileStopsTheRunNamingFileAndLine) {
  povezava::testing::ProcessPathMap keep({"S: = /kept"});
  povezava::testing::TempDir dir;
  const std::string paths = (dir.path() / "paths").string();
  std::ofstream(paths) << "S: = /srv\nT = /x\n";
  engine::PathMapSources sources;
  sources.files = {paths};
  const engine::Status wrong = usePathMap(sources);
  EXPECT_EQ(wrong.number(), engine::kErrInvalidArgument);
  EXPECT_NE(wrong.description().find(paths + ", line 2:"), std::string::npos) << wrong.description();
  EXPECT_EQ(engine::processPathMap().toLocal(u"S:\\x"), "/kept/x");  // the map stays as it was

  std::ofstream(paths) << "S: = /srv\n";
  ASSERT_TRUE(usePathMap(sources).ok());
  EXPECT_EQ(engine::processPathMap().toLocal(u"S:\\x"), "/srv/x");
}

}  // namespace
}  // namespace povezava::window
