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

#include "links/form_layout.h"
#include "window/file_dialog.h"
#include "window/icon.h"
#include "window/messages.h"

namespace povezava::window {
namespace {

using links::ControlPlace;
using links::kClientHeightTwips;
using links::kClientWidthTwips;
using links::kControls;
using links::twipsToPixels;

QString fromU16(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

links::FormEnvironment formEnvironment(const Environment& env) {
  links::FormEnvironment form;
  form.engine = env.engine;
  form.program = env.program;
  form.programFolder = env.appPath.toStdU16String();
  form.commandText = env.commandText.toStdU16String();
  form.display = env.boxes != nullptr;
  form.errors = env.errors;
  form.pathMapSources = env.pathMapSources;
  return form;
}

}  // namespace

morvane::morvane(Environment env, QWidget* parent)
    : QWidget(parent), env_(std::move(env)), form_(*this, formEnvironment(env_)) {
  setObjectName(QStringLiteral("morvane"));
  setWindowTitle(fromU16(links::kWindowCaption));
  setWindowIcon(makeWindowIcon());
  createControls();
  placeControls();
  setTabOrder();
  // The control first in the tab order has the focus when the window shows.
  Text1_[0]->setFocus();
}

// ---- controls ---------------------------------------------------------------

QPushButton* morvane::makeButton(const char* name) {
  auto* button = new QPushButton(fromU16(links::captionOf(name)), this);
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
  for (std::u16string_view entry : links::kPresetFrontEnds) ImeBaze_->addItem(fromU16(entry));
  ImeBaze_->setCurrentIndex(-1);
  ImeBaze_->setEditText(QString());
  ImeBaze_->lineEdit()->installEventFilter(this);
  ImeBaze_->installEventFilter(this);

  Text1_[1] = makeMultiLineBox("Text1(1)");
  Command2_[1] = makeButton("Command2(1)");
  Text2_[1] = makeMultiLineBox("Text2(1)");
  Command4_ = makeButton("Command4");
  imetab_ = new QLineEdit(this);
  imetab_->setObjectName(QStringLiteral("imetab"));
  Command3_ = makeButton("Command3");
  Command2_[0] = makeButton("Command2(0)");
  Command1_ = makeButton("Command1");
  Text2_[0] = makeMultiLineBox("Text2(0)");
  Text1_[0] = makeMultiLineBox("Text1(0)");

  Label2_ = new QLabel(fromU16(links::kVersionLabelPrefix) + QStringLiteral(POVEZAVA_VERSION), this);
  Label2_->setObjectName(QStringLiteral("Label2"));
  QPalette blue = Label2_->palette();
  blue.setColor(QPalette::WindowText, QColor(links::kLabel2Red, links::kLabel2Green, links::kLabel2Blue));
  Label2_->setPalette(blue);
  Label1_ = new QLabel(fromU16(links::captionOf("Label1")), this);
  Label1_->setObjectName(QStringLiteral("Label1"));
  Baza_ = new QLabel(fromU16(links::captionOf("Baza")), this);
  Baza_->setObjectName(QStringLiteral("Baza"));

  // Every other event of every control is left alone.
  // The slots are noexcept: nothing may unwind into Qt's event loop (an
  // exception there ends the program the moment it is thrown instead).
  connect(ImeBaze_, &QComboBox::activated, this, [this]() noexcept { imeBazeClick(); });
  connect(Command4_, &QPushButton::clicked, this, [this]() noexcept { command4Click(); });
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

// ---- the view's part --------------------------------------------------------

std::u16string morvane::text(links::Control control) const {
  switch (control) {
    case links::Control::ImeBaze: return ImeBaze_->currentText().toStdU16String();
    case links::Control::imetab: return imetab_->text().toStdU16String();
    case links::Control::Text1_0: return Text1_[0]->toPlainText().toStdU16String();
    case links::Control::Text1_1: return Text1_[1]->toPlainText().toStdU16String();
    case links::Control::Text2_0: return Text2_[0]->toPlainText().toStdU16String();
    case links::Control::Text2_1: return Text2_[1]->toPlainText().toStdU16String();
  }
  return {};
}

void morvane::setText(links::Control control, std::u16string_view text) {
  // A control that shows the text already keeps its cursor.
  const QString shown = fromU16(text);
  const auto setBox = [&shown](QPlainTextEdit* box) {
    if (box->toPlainText() != shown) box->setPlainText(shown);
  };
  switch (control) {
    case links::Control::ImeBaze:
      if (ImeBaze_->currentText() != shown) ImeBaze_->setEditText(shown);
      break;
    case links::Control::imetab:
      if (imetab_->text() != shown) imetab_->setText(shown);
      break;
    case links::Control::Text1_0: setBox(Text1_[0]); break;
    case links::Control::Text1_1: setBox(Text1_[1]); break;
    case links::Control::Text2_0: setBox(Text2_[0]); break;
    case links::Control::Text2_1: setBox(Text2_[1]); break;
  }
}

std::optional<std::u16string> morvane::chooseDatabase(std::u16string_view folder) {
  const std::optional<QString> chosen = env_.dialog->openFile(this, fromU16(folder), databaseFilter());
  if (!chosen) return std::nullopt;
  return chosen->toStdU16String();
}

void morvane::showMessage(links::MessageKind kind, std::u16string_view text) {
  if (env_.boxes != nullptr) env_.boxes->show(this, kind, fromU16(links::kWindowCaption), fromU16(text));
}

void morvane::closeWindow() { close(); }

// ---- events -------------------------------------------------------------------

bool morvane::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  if (event->type() == QEvent::WindowActivate) formActivate();
  return handled;
}

void morvane::closeEvent(QCloseEvent* event) {
  event->accept();
  formUnload();  // once, however often Qt reports the closing
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
