#include "window/app.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMetaObject>
#include <QTranslator>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "paths/path_map_sources.h"
#include "links/relink_form.h"
#include "links/startup.h"
#include "window/file_dialog.h"
#include "window/messages.h"
#include "window/morvane.h"

namespace povezava::window {
namespace {

std::string_view environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string_view{} : std::string_view{value};
}

bool hasPlatformArgument(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-platform" || argument == "--platform" ||
        argument.starts_with("-platform=") || argument.starts_with("--platform=")) {
      return true;
    }
  }
  return false;
}

// Qt's own notes (no XDG_RUNTIME_DIR, what a platform plugin cannot do) are
// not the user's business: stderr carries povezava's failures, which install
// scripts read. Qt's critical and fatal messages still go through.
void keepQtNotesOffStderr(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
  std::cerr << qFormatLogMessage(type, context, message).toStdString() << '\n';
}

}  // namespace

std::string platformChoice(bool platformArgument, std::string_view qpaPlatform,
                           std::string_view display, std::string_view waylandDisplay) {
  if (platformArgument || !qpaPlatform.empty()) return {};
  std::string choice;
  if (!waylandDisplay.empty()) choice += "wayland;";
  if (!display.empty()) choice += "xcb;";
  return choice + "offscreen";
}

bool isHeadlessPlatform(const QString& platformName) {
  return platformName == QLatin1String("offscreen") || platformName == QLatin1String("minimal");
}

QString commandTextOf(const QStringList& arguments) {
  std::vector<std::u16string> words;
  for (qsizetype i = 1; i < arguments.size(); ++i) words.push_back(arguments[i].toStdU16String());
  const std::u16string joined = links::joinArguments(words);
  return QString::fromStdU16String(joined);
}

bool installQtTranslations(QTranslator& translator, const QLocale& locale) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  // "qtbase_xx" where Qt 6 has it, else the older catalogue "qt_xx" (Slovenian
  // has only that one).
  for (const QString& catalogue : {QStringLiteral("qtbase"), QStringLiteral("qt")}) {
    if (translator.load(locale, catalogue, QStringLiteral("_"), folder)) {
      return QCoreApplication::installTranslator(&translator);
    }
  }
  return false;
}

std::optional<int> answerRequest(const QStringList& arguments, std::ostream& out) {
  return links::answerProgramRequest(commandTextOf(arguments).toStdU16String(), POVEZAVA_VERSION, out);
}

int runPovezava(int argc, char** argv, links::Program& program) {
  QStringList programArguments;
  for (int i = 0; i < argc; ++i) programArguments << QString::fromLocal8Bit(argv[i]);
  if (const std::optional<int> status = answerRequest(programArguments, std::cout)) return *status;

  const std::string platform = platformChoice(hasPlatformArgument(argc, argv), environment("QT_QPA_PLATFORM"),
                                              environment("DISPLAY"), environment("WAYLAND_DISPLAY"));
  if (!platform.empty()) qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
  qInstallMessageHandler(keepQtNotesOffStderr);
  QApplication app(argc, argv);
  QTranslator qtTexts;
  (void)installQtTranslations(qtTexts, QLocale::system());
  const bool display = !isHeadlessPlatform(QGuiApplication::platformName());

  QtFileDialog dialog;
  QtMessageBoxes boxes;
  const engine::PathMapSources pathMap = engine::programPathMapSources({});
  Environment env;
  env.engine = &program.engine();
  env.program = &program;
  env.appPath = QCoreApplication::applicationDirPath();
  env.commandText = commandTextOf(QCoreApplication::arguments());
  env.dialog = &dialog;
  env.boxes = display ? &boxes : nullptr;
  env.errors = &std::cerr;
  env.pathMapSources = &pathMap;
  morvane window(env);

  // Load decides whether the window shows at all.
  if (const std::optional<int> status = window.formLoad()) return *status;
  window.show();
  // Some platforms never activate the window (offscreen, an X server without a
  // window manager); the automatic relink then starts from the event loop.
  // Whichever comes first runs it, the other finds the flag cleared.
  QMetaObject::invokeMethod(&window, &morvane::formActivate, Qt::QueuedConnection);
  const int status = QApplication::exec();
  return status != 0 ? status : window.exitStatus();
}

}  // namespace povezava::window
