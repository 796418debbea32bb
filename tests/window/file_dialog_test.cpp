// Browsing: the three "Prebrskaj" buttons with a scripted dialog, and the real
// dialog's filter and answers.
#include "window/file_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QRegularExpression>
#include <QTimer>
#include <QTest>
#include <filesystem>
#include <functional>
#include <iterator>
#include <vector>

#include "links/fake_engine.h"
#include "support/test_support.h"
#include "window_harness.h"

namespace povezava::window {
namespace {

using testing::Harness;

class Browsing : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_.addFrontEnd(u"TQ.mdB");
    ASSERT_EQ(h_.window->formLoad(), std::nullopt);
    engine_.log.clear();
  }
  links::testing::FakeEngine engine_;
  Harness h_{engine_, QStringLiteral("/home/clerk/app")};
};

TEST_F(Browsing, Command3PutsTheChosenFrontEndIntoImeBazeAndOpensNothing) {
  const QString text1 = h_.text("Text1(0)");
  h_.dialog.answers.push_back(QStringLiteral("/data/My Files/MV.mdb"));
  h_.click("Command3");
  EXPECT_EQ(h_.imeBaze()->currentText(), QStringLiteral("/data/My Files/MV.mdb"));
  EXPECT_EQ(h_.dialog.folders, QStringList{QStringLiteral("/home/clerk/app")});
  EXPECT_EQ(h_.dialog.filters, QStringList{databaseFilter()});
  // Still the links of the database inspected before.
  EXPECT_EQ(h_.text("Text1(0)"), text1);
  EXPECT_TRUE(engine_.log.empty());
}

TEST_F(Browsing, Command2PutsALinkStringIntoItsOwnText2Only) {
  h_.setText("Text2(0)", QStringLiteral("zero"));
  h_.dialog.answers.push_back(QStringLiteral("/srv/code tables/QUERNO.MDB"));
  h_.click("Command2(1)");
  EXPECT_EQ(h_.text("Text2(1)"), QStringLiteral(";DATABASE=/srv/code tables/QUERNO.MDB"));
  EXPECT_EQ(h_.text("Text2(0)"), QStringLiteral("zero"));
  EXPECT_EQ(h_.imeBaze()->currentText(), QStringLiteral("TQ.mdB"));

  h_.dialog.answers.push_back(QStringLiteral("/srv/PARTNER.MDB"));
  h_.click("Command2(0)");
  EXPECT_EQ(h_.text("Text2(0)"), QStringLiteral(";DATABASE=/srv/PARTNER.MDB"));
  EXPECT_EQ(h_.text("Text2(1)"), QStringLiteral(";DATABASE=/srv/code tables/QUERNO.MDB"));
  EXPECT_EQ(h_.dialog.opened, 2);
  EXPECT_EQ(h_.dialog.folders, (QStringList{"/home/clerk/app", "/home/clerk/app"}));
  EXPECT_TRUE(engine_.log.empty());
}

TEST_F(Browsing, ACancelledDialogChangesNothing) {
  h_.setText("Text2(0)", QStringLiteral(";DATABASE=/kept/PARTNER.MDB"));
  const QString text2 = h_.text("Text2(1)");
  h_.dialog.answers = {std::nullopt, std::nullopt, std::nullopt};
  h_.click("Command2(0)");
  h_.click("Command2(1)");
  h_.click("Command3");
  EXPECT_EQ(h_.dialog.opened, 3);
  EXPECT_EQ(h_.text("Text2(0)"), QStringLiteral(";DATABASE=/kept/PARTNER.MDB"));
  EXPECT_EQ(h_.text("Text2(1)"), text2);
  EXPECT_EQ(h_.imeBaze()->currentText(), QStringLiteral("TQ.mdB"));
}

TEST(DatabaseFilter, MdbFirstThenAccdbThenAllFilesEachInAnyLetterCase) {
  const QStringList filters = QFileDialog(nullptr, {}, {}, databaseFilter()).nameFilters();
  struct Row {
    const char* description;
    std::vector<const char*> matching;
    std::vector<const char*> other;
  };
  const Row rows[] = {
      {"Podatkovna baza (", {"TQ.mdb", "PARTNER.MDB", "querno.Mdb", "x y.mDB"},
       {"TQ.accdb", "notes.txt", "TQ.mdb.bak", "mdb", "TQ.ldb"}},
      {"Podatkovna baza Access 2007 (", {"TQ.accdb", "PARTNER.ACCDB", "q.AccDb"}, {"TQ.mdb", "TQ.laccdb", "accdb"}},
      {"Vse datoteke (", {"TQ.mdb", "notes.txt", "README"}, {}},
  };
  ASSERT_EQ(filters.size(), std::size(rows)) << filters.join(QStringLiteral(";;")).toStdString();
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const QString& filter = filters[static_cast<qsizetype>(i)];
    SCOPED_TRACE(filter.toStdString());
    EXPECT_TRUE(filter.startsWith(QString::fromUtf8(rows[i].description)));
    const QString pattern = filter.section(QLatin1Char('('), 1).chopped(1);
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern));
    for (const char* name : rows[i].matching) EXPECT_TRUE(re.match(QString::fromLatin1(name)).hasMatch()) << name;
    for (const char* name : rows[i].other) EXPECT_FALSE(re.match(QString::fromLatin1(name)).hasMatch()) << name;
  }
}

// The real dialog, answered by a "user" once it is up: it opens in the folder
// it is given, lists .mdb files whatever their case, returns the chosen file
// and nothing on cancel.
class RealDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"TQ.mdb", "PARTNER.MDB", "notes.txt"}) {
      povezava::testing::writeFile(dir_.path() / name, {});
    }
    folder_ = QString::fromStdString(dir_.path().string());
  }

  // Runs `act` on the dialog as soon as it is shown; closes it when `act` left
  // it open.
  static void whenShown(std::function<void(QFileDialog&)> act) {
    QTimer::singleShot(0, [act] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) {
        ADD_FAILURE() << "no file dialog came up";
        QApplication::activeModalWidget()->close();
        return;
      }
      act(*dialog);
      if (dialog->isVisible()) {
        ADD_FAILURE() << "the dialog did not close";
        dialog->reject();
      }
    });
  }

  povezava::testing::TempDir dir_;
  QString folder_;
  QtFileDialog dialog_;
};

TEST_F(RealDialog, ListsMdbFilesInAnyCaseAndReturnsTheChosenOne) {
  QStringList listed;
  QString shownFolder;
  QString shownFilter;
  whenShown([&](QFileDialog& d) {
    shownFolder = d.directory().absolutePath();
    shownFilter = d.selectedNameFilter();
    auto* view = d.findChild<QAbstractItemView*>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    // The folder is read in the background; wait until both databases are in.
    EXPECT_TRUE(QTest::qWaitFor([&] {
      const QModelIndex root = view->rootIndex();
      return view->model()->rowCount(root) >= 2;
    }));
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row) {
      listed << view->model()->index(row, 0, root).data().toString();
    }
    // The user types the name and presses Enter.
    auto* name = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    QTest::keyClicks(name, QStringLiteral("PARTNER.MDB"));
    QTest::keyClick(name, Qt::Key_Return);
  });
  const std::optional<QString> chosen = dialog_.openFile(nullptr, folder_, databaseFilter());
  EXPECT_EQ(shownFolder, folder_);
  EXPECT_TRUE(shownFilter.startsWith(QStringLiteral("Podatkovna baza ("))) << shownFilter.toStdString();
  listed.sort();
  EXPECT_EQ(listed, (QStringList{"PARTNER.MDB", "TQ.mdb"}));
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, folder_ + QStringLiteral("/PARTNER.MDB"));
}

TEST_F(RealDialog, CancelReturnsNothing) {
  whenShown([](QFileDialog& d) { d.reject(); });
  EXPECT_FALSE(dialog_.openFile(nullptr, folder_, databaseFilter()).has_value());
}

}  // namespace
}  // namespace povezava::window
