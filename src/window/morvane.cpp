#include "window/morvane.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTextOption>
#include <ostream>
#include <string>

#include "engine/notices.h"
#include "links/inspection.h"
#include "links/link_location.h"
#include "links/relinking.h"
#include "links/startup.h"
#include "window/file_dialog.h"
#include "window/icon.h"
#include "window/layout.h"
#include "window/messages.h"

namespace povezava::window {
namespace {

QString fromU16(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

const QString kCaption = QStringLiteral("POVEZAVA");
const QString kNothingOpen = QStringLiteral(
    "Nobena baza ni odprta, zato ni bilo nič zapisano. Vpišite ali izberite bazo in pritisnite "
    "\"Osveži\".");

}  // namespace

morvane::morvane(Environment env, QWidget* parent) : QWidget(parent), env_(std::move(env)) {
  setObjectName(QStringLiteral("morvane"));
  setWindowTitle(kCaption);
  setWindowIcon(makeWindowIcon());
  createControls();
  placeControls();
  setTabOrder();
  // The control first in the tab order has the focus when the window shows.
  Text1_[0]->setFocus();
}

// ---- controls ---------------------------------------------------------------

QPushButton* morvane::makeButton(const char* name, const QString& text) {
  auto* button = new QPushButton(text, this);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

QPlainTextEdit* morvane::makeMultiLineBox(const char* name) {
  auto* box = new QPlainTextEdit(this);
  box->setObjectName(QString::fromLatin1(name));
  box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setTabChangesFocus(true);
  // The form's boxes are two lines high; Qt's default margin would hide one.
  box->document()->setDocumentMargin(1);
  return box;
}

void morvane::createControls() {
  // Created in the form's order, which Qt also uses for stacking.
  ImeBaze_ = new QComboBox(this);
  ImeBaze_->setObjectName(QStringLiteral("ImeBaze"));
  ImeBaze_->setEditable(true);
  ImeBaze_->setInsertPolicy(QComboBox::NoInsert);
  ImeBaze_->setCompleter(nullptr);
  ImeBaze_->addItems({QStringLiteral("TQ.MDB"), QStringLiteral("MV.MDB"), QStringLiteral("RZ.MDB"),
                      QStringLiteral("FH.MDB"), QStringLiteral("YU.MDB"), QStringLiteral("XAN.MDB")});
  ImeBaze_->setCurrentIndex(-1);
  ImeBaze_->setEditText(QString());
  ImeBaze_->lineEdit()->installEventFilter(this);
  ImeBaze_->installEventFilter(this);

  Text1_[1] = makeMultiLineBox("Text1(1)");
  Command2_[1] = makeButton("Command2(1)", QStringLiteral("Prebrskaj"));
  Text2_[1] = makeMultiLineBox("Text2(1)");
  Command4_ = makeButton("Command4", QStringLiteral("Osveži"));
  imetab_ = new QLineEdit(this);
  imetab_->setObjectName(QStringLiteral("imetab"));
  Command3_ = makeButton("Command3", QStringLiteral("Prebrskaj"));
  Command2_[0] = makeButton("Command2(0)", QStringLiteral("Prebrskaj"));
  Command1_ = makeButton("Command1", QStringLiteral("Nova povezava"));
  Text2_[0] = makeMultiLineBox("Text2(0)");
  Text1_[0] = makeMultiLineBox("Text1(0)");

  Label2_ = new QLabel(QStringLiteral("različica " POVEZAVA_VERSION), this);
  Label2_->setObjectName(QStringLiteral("Label2"));
  QPalette blue = Label2_->palette();
  blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
  Label2_->setPalette(blue);
  Label1_ = new QLabel(QStringLiteral("Tabela"), this);
  Label1_->setObjectName(QStringLiteral("Label1"));
  Baza_ = new QLabel(QStringLiteral("Baza:"), this);
  Baza_->setObjectName(QStringLiteral("Baza"));

  // Every other event of every control is left alone.
  // The slots are noexcept: nothing may unwind into Qt's event loop (an
  // exception there ends the program the moment it is thrown instead).
  connect(ImeBaze_, &QComboBox::activated, this, [this]() noexcept { reportError(imeBazeClick()); });
  connect(Command4_, &QPushButton::clicked, this, [this]() noexcept { reportError(command4Click()); });
  connect(Command1_, &QPushButton::clicked, this, [this]() noexcept { command1Click(); });
  connect(Command2_[0], &QPushButton::clicked, this, [this]() noexcept { command2Click(0); });
  connect(Command2_[1], &QPushButton::clicked, this, [this]() noexcept { command2Click(1); });
  connect(Command3_, &QPushButton::clicked, this, [this]() noexcept { command3Click(); });
}

void morvane::placeControls() {
  const double dpiX = logicalDpiX();
  const double dpiY = logicalDpiY();
  resize(twipsToPixels(kClientWidthTwips, dpiX), twipsToPixels(kClientHeightTwips, dpiY));
  for (const ControlPlace& place : kControls) {
    if (place.tabIndex < 0) continue;  // the dialog has no place on the form
    const QString name =
        QString::fromLatin1(place.name.data(), static_cast<qsizetype>(place.name.size()));
    auto* control = findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    control->setGeometry(twipsToPixels(place.left, dpiX), twipsToPixels(place.top, dpiY),
                         twipsToPixels(place.width, dpiX), twipsToPixels(place.height, dpiY));
  }
}

void morvane::setTabOrder() {
  // The form's tab indices 0 to 12; labels take no focus.
  const std::array<QWidget*, 11> order{Text1_[0], Text2_[0], Command1_, Command2_[0], Command3_,
                                       imetab_,   Command4_, Text2_[1], Command2_[1], Text1_[1],
                                       ImeBaze_};
  for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

// ---- texts ------------------------------------------------------------------

links::WindowTexts morvane::texts() const {
  links::WindowTexts t;
  t.ImeBaze = ImeBaze_->currentText().toStdU16String();
  t.imetab = imetab_->text().toStdU16String();
  for (std::size_t i = 0; i < 2; ++i) {
    t.Text1[i] = Text1_[i]->toPlainText().toStdU16String();
    t.Text2[i] = Text2_[i]->toPlainText().toStdU16String();
  }
  return t;
}

void morvane::setTexts(const links::WindowTexts& t) {
  // Only what changed, so that a box keeps its cursor when its text stays.
  setImeBaze(fromU16(t.ImeBaze));
  if (imetab_->text() != fromU16(t.imetab)) imetab_->setText(fromU16(t.imetab));
  for (std::size_t i = 0; i < 2; ++i) {
    setBoxText(Text1_[i], fromU16(t.Text1[i]), Rewrite::whenChanged);
    showLink(i, t.Text2[i], Rewrite::whenChanged);
  }
}

void morvane::setBoxText(QPlainTextEdit* box, const QString& text, Rewrite rewrite) {
  if (rewrite == Rewrite::always || box->toPlainText() != text) box->setPlainText(text);
}

void morvane::showLink(std::size_t box, std::u16string_view link, Rewrite rewrite) {
  setBoxText(Text2_[box], fromU16(link), rewrite);
}

void morvane::setImeBaze(const QString& text) {
  if (ImeBaze_->currentText() != text) ImeBaze_->setEditText(text);
}

// ---- handlers -----------------------------------------------------------------

engine::Status morvane::formLoad() {
  const links::LoadSteps steps{
      [this](std::u16string name) { setImeBaze(fromU16(name)); },
      [this] { return command4Click(); },
      [this](const links::LinkStrings& proposals) {
        showLink(0, proposals.partner, Rewrite::always);
        showLink(1, proposals.codeTables, Rewrite::always);
      }};
  const links::LoadOutcome outcome =
      links::runLoad(env_.commandText.toStdU16String(), state_, steps);
  commandLineRun_ = outcome.arguments;
  return outcome.status;
}

void morvane::formActivate() {
  if (links::takeAutoLink(state_)) command1Click();
}

engine::Status morvane::formUnload() { return links::unloadLinks(state_); }

engine::Status morvane::command4Click() {
  links::WindowTexts t = texts();
  const engine::Status status =
      links::inspectLinks(*env_.engine, env_.appPath.toStdU16String(), state_, t);
  // A failed open empties the boxes that showed the front-end before.
  setTexts(t);
  reportNotices();
  return status;
}

engine::Status morvane::imeBazeClick() { return command4Click(); }

void morvane::command1Click() {
  if (!links::hasFrontEnd(state_)) {
    // Nothing to write to: the window stays, so the user can open a front-end.
    writeErrorLine(*env_.errors, kNothingOpen.toStdString());
    showBox(kNothingOpen);
    return;
  }
  const links::WindowTexts t = texts();
  // Link strings typed whole are stored as given; a relative one is worth a word.
  QStringList notices;
  for (const std::u16string& link : t.Text2) {
    if (const auto notice = links::relativeLinkNotice(link)) {
      writeErrorLine(*env_.errors, *notice);
      notices << QString::fromStdString(*notice);
    }
  }
  // The refusal of local paths for Windows links (RelinkOptions::localPaths)
  // reaches this window with its Slovenian message; until then it links as
  // it always has.
  const std::vector<links::RelinkFailure> failures =
      links::relinkTables(state_, t, links::RelinkOptions{.localPaths = true});
  QStringList lines;
  for (const links::RelinkFailure& failure : failures) {
    const std::string line = links::describeFailure(failure);
    writeErrorLine(*env_.errors, line);
    lines << QString::fromStdString(line);
  }
  if (!failures.empty()) failed_ = true;
  if (!failures.empty() || !notices.empty()) {
    QString text;
    if (!failures.empty()) {
      text = QStringLiteral("Teh povezav ni bilo mogoče obnoviti:\n\n") + lines.join(QLatin1Char('\n'));
    }
    if (!notices.empty()) {
      if (!text.isEmpty()) text += QStringLiteral("\n\n");
      text += notices.join(QLatin1Char('\n'));
    }
    showBox(text);
  }
  reportNotices();
  close();
}

void morvane::command2Click(int index) {
  const std::optional<QString> chosen =
      env_.dialog->openFile(this, env_.appPath, databaseFilter());
  if (!chosen) return;  // cancelled: the box keeps its link string
  showLink(static_cast<std::size_t>(index), links::linkString(chosen->toStdU16String()), Rewrite::always);
}

void morvane::command3Click() {
  const std::optional<QString> chosen =
      env_.dialog->openFile(this, env_.appPath, databaseFilter());
  if (!chosen) return;  // cancelled: ImeBaze keeps its name
  setImeBaze(*chosen);
}

void morvane::reportError(const engine::Status& status) {
  if (status.ok()) return;
  const std::string line = status.toString();
  writeErrorLine(*env_.errors, line);
  showBox(QString::fromStdString(line));
}

void morvane::reportNotices() {
  QStringList lines;
  for (const std::string& line : engine::takeNotices()) {
    writeErrorLine(*env_.errors, line);
    lines << QString::fromStdString(line);
  }
  if (!lines.empty()) showBox(lines.join(QStringLiteral("\n\n")));
}

void morvane::showBox(const QString& text) {
  // A run from the command line never waits for an answer: stderr and the
  // exit status carry its failures.
  if (env_.boxes != nullptr && !commandLineRun_) env_.boxes->showError(this, kCaption, text);
}

// ---- events -------------------------------------------------------------------

bool morvane::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  if (event->type() == QEvent::WindowActivate) formActivate();
  return handled;
}

void morvane::closeEvent(QCloseEvent* event) {
  event->accept();
  if (unloaded_) return;  // Qt may send a second close; the database closes once
  unloaded_ = true;
  const engine::Status status = formUnload();
  if (!status.ok()) {
    failed_ = true;
    reportError(status);
  }
}

bool morvane::eventFilter(QObject* watched, QEvent* event) {
  // Typing in ImeBaze runs nothing: Enter would pick a matching list entry,
  // and the wheel would step through the list, each running an inspection.
  if (watched == ImeBaze_->lineEdit() && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
  }
  if (watched == ImeBaze_ && event->type() == QEvent::Wheel) return true;
  return QWidget::eventFilter(watched, event);
}

}  // namespace povezava::window
