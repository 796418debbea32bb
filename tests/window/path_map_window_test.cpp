// The window with a Windows path map: the link strings it builds from local
// locations (its proposals, the browse buttons, its command line) come out in
// Windows form, and link strings typed whole are stored as given.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "links/fake_engine.h"
#include "support/test_support.h"
#include "window/app.h"
#include "support/test_engine.h"
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
  const engine::PathMap map_ =
      povezava::testing::pathMapOf({"S: = /srv", "\\\\SERVER\\apps = /opt", "\\\\SERVER\\clerk = /home/clerk"});
};

TEST_F(MappedWindow, ProposalsFromTheProgramFolderAreInWindowsForm) {
  Harness h(engine_, QStringLiteral("/home/clerk/povezava"), {}, true, map_);
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  EXPECT_EQ(h.text("Text2(0)"), QStringLiteral(";DATABASE=\\\\SERVER\\clerk\\povezava\\PARTNER.MDB"));
  EXPECT_EQ(h.text("Text2(1)"), QStringLiteral(";DATABASE=\\\\SERVER\\clerk\\povezava\\QUERNO.MDB"));
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
    Harness h(engine_, QStringLiteral("/home/clerk/povezava"), row.commandText, false, map_);
    ASSERT_EQ(h.window->formLoad(), std::nullopt) << row.commandText.toStdString();
    EXPECT_EQ(h.text("Text2(0)"), row.partner);
    EXPECT_EQ(h.text("Text2(1)"), row.codes);
  }
  // Relative: against the current folder first.
  povezava::testing::TempDir folder;
  const povezava::testing::CurrentFolder here(folder.path());
  Harness h(engine_, QStringLiteral("/home/clerk/povezava"), QStringLiteral("/srv/app/TQ.mdb,data"), false,
            povezava::testing::pathMapOf({"S: = " + folder.path().string()}));
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  EXPECT_EQ(h.text("Text2(0)"), QStringLiteral(";DATABASE=S:\\data\\PARTNER.MDB"));
}

TEST_F(MappedWindow, ABrowsedFileIsWrittenInWindowsForm) {
  Harness h(engine_, QStringLiteral("/home/clerk/povezava"), {}, true, map_);
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  h.dialog.answers = {QStringLiteral("/srv/data/PARTNER.MDB"), QStringLiteral("/home/u/QUERNO.MDB")};
  h.click("Command2(0)");
  h.click("Command2(1)");
  EXPECT_EQ(h.text("Text2(0)"), QStringLiteral(";DATABASE=S:\\data\\PARTNER.MDB"));
  EXPECT_EQ(h.text("Text2(1)"), QStringLiteral(";DATABASE=/home/u/QUERNO.MDB"));
}

TEST_F(MappedWindow, ATypedRelativeLinkIsStoredAsGivenAndSaidSo) {
  engine_.backends = {u"data\\PARTNER.MDB", u"S:\\data\\QUERNO.MDB"};
  Harness h(engine_, QStringLiteral("/home/clerk/povezava"), {}, true, map_);
  ASSERT_EQ(h.window->formLoad(), std::nullopt);
  h.setText("Text2(0)", QStringLiteral(";DATABASE=data\\PARTNER.MDB"));
  h.setText("Text2(1)", QStringLiteral(";DATABASE=S:\\data\\QUERNO.MDB"));
  h.click("Command1");
  EXPECT_EQ(h.window->state().LinkDb->name(), u"TQ.mdB");
  ASSERT_EQ(h.boxes.texts.size(), 1);
  EXPECT_TRUE(h.boxes.texts[0].contains(QStringLiteral("Pot »data\\PARTNER.MDB« v povezavi ni popolna")))
      << h.boxes.texts[0].toStdString();
  EXPECT_FALSE(h.boxes.texts[0].contains(QStringLiteral("QUERNO"))) << h.boxes.texts[0].toStdString();
  EXPECT_NE(h.errors.str().find("is relative"), std::string::npos) << h.errors.str();
}

TEST(WindowPathMap, AWrongPathsFileStopsTheRunNamingFileAndLine) {
  links::Program program(engine::posixFileSystem());
  program.paths().setMap(povezava::testing::pathMapOf({"S: = /kept"}));
  povezava::testing::TempDir dir;
  const std::string paths = (dir.path() / "paths").string();
  std::ofstream(paths) << "S: = /srv\nT = /x\n";
  engine::PathMapSources sources;
  sources.files = {paths};
  links::testing::FakeEngine engine;
  engine.addFrontEnd(u"TQ.mdB");
  const auto load = [&](std::ostream& errors) {
    testing::ScriptedDialog dialog;
    testing::RecordingBoxes boxes;
    Environment env;
    env.engine = &engine;
    env.program = &program;
    env.appPath = QStringLiteral("/home/clerk/povezava");
    env.dialog = &dialog;
    env.boxes = &boxes;
    env.errors = &errors;
    env.pathMapSources = &sources;
    return morvane(env).formLoad();
  };
  std::ostringstream errors;
  EXPECT_EQ(load(errors), 2);
  EXPECT_NE(errors.str().find("error 3001"), std::string::npos) << errors.str();
  EXPECT_NE(errors.str().find(paths + ", line 2:"), std::string::npos) << errors.str();
  EXPECT_TRUE(engine.log.empty());
  EXPECT_EQ(program.pathMap().toLocal(u"S:\\x"), "/kept/x");  // the map stays as it was

  std::ofstream(paths) << "S: = /srv\n";
  EXPECT_EQ(load(errors), std::nullopt);
  EXPECT_EQ(program.pathMap().toLocal(u"S:\\x"), "/srv/x");
}

}  // namespace
}  // namespace povezava::window
