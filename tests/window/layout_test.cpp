// The window as the form lays it out: places, texts, list, tab order, focus,
// creation order, colours, icon.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QLabel>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include "links/fake_engine.h"
#include "window/icon.h"
#include "links/form_layout.h"
#include "window_harness.h"

namespace povezava::window {
namespace {

using links::twipsToPixels;
using testing::Harness;

class LayoutTest : public ::testing::Test {
 protected:
  links::testing::FakeEngine engine;
  Harness h{engine, QStringLiteral("/home/clerk/povezava")};

  int px(int twips, bool horizontal) const {
    const double dpi = horizontal ? h.window->logicalDpiX() : h.window->logicalDpiY();
    return qRound(twips * dpi / 1440.0);
  }
  // The control (a direct child of the window) that holds the focus widget.
  QString focusedControl() const {
    QWidget* w = QApplication::focusWidget();
    while (w != nullptr && w->parentWidget() != h.window.get()) w = w->parentWidget();
    return w == nullptr ? QString() : w->objectName();
  }
};

TEST(TwipsToPixels, FifteenTwipsAPixelAt96DpiAndScaledWithTheScreen) {
  EXPECT_EQ(twipsToPixels(7155, 96), 477);
  EXPECT_EQ(twipsToPixels(5850, 96), 390);
  EXPECT_EQ(twipsToPixels(15, 96), 1);
  EXPECT_EQ(twipsToPixels(7155, 192), 954);
  EXPECT_EQ(twipsToPixels(195, 120), 16);   // 16.25
  EXPECT_EQ(twipsToPixels(7155, 144), 716);  // 715.5 rounds up
  EXPECT_EQ(twipsToPixels(0, 144), 0);
}

TEST_F(LayoutTest, CaptionAndClientArea) {
  EXPECT_EQ(h.window->windowTitle(), QStringLiteral("POVEZAVA"));
  EXPECT_EQ(h.window->objectName(), QStringLiteral("morvane"));
  EXPECT_EQ(h.window->size(), QSize(px(7155, true), px(5850, false)));
  // The platform's default frame (sizable, system menu, both buttons).
  const Qt::WindowFlags flags = h.window->windowFlags();
  EXPECT_TRUE(flags.testFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::MSWindowsFixedSizeDialogHint));
  EXPECT_NE(h.window->minimumSize(), h.window->maximumSize());
}

TEST_F(LayoutTest, EveryControlSitsWhereTheFormPutsIt) {
  struct Row {
    const char* name;
    const char* kind;
    const char* text;
    int left, top, width, height;
  };
  const Row rows[] = {
      {"Baza", "QLabel", "Baza:", 240, 120, 1215, 255},
      {"Command3", "QPushButton", "Prebrskaj", 5760, 120, 1215, 195},
      {"ImeBaze", "QComboBox", "", 240, 360, 6735, 315},
      {"Label1", "QLabel", "Tabela", 240, 720, 1215, 255},
      {"imetab", "QLineEdit", "", 240, 960, 6735, 285},
      {"Text1(0)", "QPlainTextEdit", "", 240, 1440, 6735, 495},
      {"Text1(1)", "QPlainTextEdit", "", 240, 2160, 6735, 495},
      {"Command2(0)", "QPushButton", "Prebrskaj", 5880, 2880, 1095, 255},
      {"Text2(0)", "QPlainTextEdit", "", 240, 3240, 6735, 495},
      {"Command2(1)", "QPushButton", "Prebrskaj", 5880, 3840, 1095, 255},
      {"Text2(1)", "QPlainTextEdit", "", 240, 4200, 6735, 495},
      {"Command4", "QPushButton", "Osveži", 600, 5040, 1455, 375},
      {"Command1", "QPushButton", "Nova povezava", 5520, 5160, 1455, 375},
      {"Label2", "QLabel", nullptr, 3000, 5640, 1455, 255},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto* control = h.control<QWidget>(row.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget(), h.window.get());
    EXPECT_STREQ(control->metaObject()->className(), row.kind);
    EXPECT_EQ(control->geometry(), QRect(px(row.left, true), px(row.top, false),
                                         px(row.width, true), px(row.height, false)));
    if (row.text == nullptr) continue;
    QString shown;
    if (auto* button = qobject_cast<QPushButton*>(control)) shown = button->text();
    if (auto* label = qobject_cast<QLabel*>(control)) shown = label->text();
    if (auto* line = qobject_cast<QLineEdit*>(control)) shown = line->text();
    if (auto* box = qobject_cast<QPlainTextEdit*>(control)) shown = box->toPlainText();
    if (auto* combo = qobject_cast<QComboBox*>(control)) shown = combo->currentText();
    EXPECT_EQ(shown, QString::fromUtf8(row.text));
  }
}

TEST_F(LayoutTest, ControlsAreCreatedAndStackedInTheFormsOrder) {
  QStringList order;
  for (QObject* child : h.window->children()) {
    if (child->isWidgetType()) order << child->objectName();
  }
  EXPECT_EQ(order, (QStringList{"ImeBaze", "Text1(1)", "Command2(1)", "Text2(1)", "Command4",
                                "imetab", "Command3", "Command2(0)", "Command1", "Text2(0)",
                                "Text1(0)", "Label2", "Label1", "Baza"}));
}

TEST_F(LayoutTest, ImeBazeIsAnEditableComboWithTheUnsortedPresetList) {
  QComboBox* combo = h.imeBaze();
  EXPECT_TRUE(combo->isEditable());
  EXPECT_EQ(combo->completer(), nullptr);
  EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  EXPECT_EQ(items, (QStringList{"TQ.MDB", "MV.MDB", "RZ.MDB", "FH.MDB", "YU.MDB", "XAN.MDB"}));
}

TEST_F(LayoutTest, MultiLineBoxesWrapShowTwoLinesAndHaveNoScrollBars) {
  h.window->show();
  for (const char* name : {"Text1(0)", "Text1(1)", "Text2(0)", "Text2(1)"}) {
    SCOPED_TRACE(name);
    auto* box = h.control<QPlainTextEdit>(name);
    EXPECT_EQ(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_FALSE(box->isReadOnly());
    EXPECT_TRUE(box->tabChangesFocus());
    const int lines = box->fontMetrics().lineSpacing();
    EXPECT_GE(box->viewport()->height(), 2 * lines) << "line spacing " << lines;
    // A link string longer than the box, without a blank, breaks into lines.
    box->setPlainText(QStringLiteral(";DATABASE=") + QString(200, QLatin1Char('X')));
    QApplication::processEvents();
    const QTextLayout* layout = box->document()->firstBlock().layout();
    ASSERT_NE(layout, nullptr);
    EXPECT_GT(layout->lineCount(), 1);
  }
  EXPECT_FALSE(h.control<QLineEdit>("imetab")->isReadOnly());
}

TEST_F(LayoutTest, TabOrderFollowsTheTabIndicesAndFocusStartsInText1_0) {
  h.window->show();
  h.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(h.window.get()));
  EXPECT_EQ(focusedControl(), QStringLiteral("Text1(0)"));
  QStringList visited;
  for (int i = 0; i < 11; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << focusedControl();
  }
  EXPECT_EQ(visited, (QStringList{"Text2(0)", "Command1", "Command2(0)", "Command3", "imetab",
                                  "Command4", "Text2(1)", "Command2(1)", "Text1(1)", "ImeBaze",
                                  "Text1(0)"}));
  for (const char* label : {"Baza", "Label1", "Label2"}) {
    EXPECT_EQ(h.control<QLabel>(label)->focusPolicy(), Qt::NoFocus) << label;
  }
}

TEST_F(LayoutTest, Label2ShowsTheVersionInPureBlue) {
  auto* label = h.control<QLabel>("Label2");
  EXPECT_TRUE(label->text().contains(QStringLiteral(POVEZAVA_VERSION))) << label->text().toStdString();
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
}

TEST_F(LayoutTest, TheWindowHasAnIconOfItsOwnIn32And16Pixels) {
  const QList<QSize> sizes = h.window->windowIcon().availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
  EXPECT_TRUE(sizes.contains(QSize(16, 16)));
}

TEST(Icon, EachImageUsesOnlyTheSixteenPaletteColoursAndDrawsSomething) {
  const QSet<QRgb> palette{qRgb(0, 0, 0),       qRgb(128, 0, 0),     qRgb(0, 128, 0),
                           qRgb(128, 128, 0),   qRgb(0, 0, 128),     qRgb(128, 0, 128),
                           qRgb(0, 128, 128),   qRgb(192, 192, 192), qRgb(128, 128, 128),
                           qRgb(255, 0, 0),     qRgb(0, 255, 0),     qRgb(255, 255, 0),
                           qRgb(0, 0, 255),     qRgb(255, 0, 255),   qRgb(0, 255, 255),
                           qRgb(255, 255, 255)};
  for (int size : {16, 32, 48, 64, 128, 256}) {
    SCOPED_TRACE(size);
    const QImage image = iconImage(size);
    ASSERT_EQ(image.size(), QSize(size, size));
    QSet<QRgb> used;
    int opaque = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        const QRgb pixel = image.pixel(x, y);
        if (qAlpha(pixel) == 0) continue;
        ++opaque;
        EXPECT_EQ(qAlpha(pixel), 255);
        used.insert(pixel | 0xff000000u);
      }
    }
    EXPECT_GT(opaque, size * size / 4);
    EXPECT_GE(used.size(), 3);
    for (QRgb colour : used) EXPECT_TRUE(palette.contains(colour)) << std::hex << colour;
  }
}

}  // namespace
}  // namespace povezava::window
