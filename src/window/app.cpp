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

#include "engine/path_map_sources.h"
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

constexpr char kNoDisplay[] =
    "povezava: there is no display to show the window on.\n"
    "To relink without a window, name the front-end database and the back-end location:\n"
    "    povezava /path/to/TQ.mdb,/path/to/backends\n";

constexpr char kUsage[] =
    "usage: povezava                               the window, on TQ.mdB in the current folder\n"
    "       povezava FRONT-END[,BACK-END LOCATION]   relink at once and end\n"
    "       povezava --help | --version\n"
    "\n"
    "Re-points the linked tables PARTNER, KONTI and NALOGI of an Access front-end\n"
    "database. BACK-END LOCATION is the folder holding PARTNER.MDB and querno.MDB, or\n"
    "the path of the partner database itself; without it, povezava's own folder.\n"
    "A relink from the command line asks nothing: failures go to stderr, and the exit\n"
    "status is 0 when every table was relinked, 1 otherwise.\n";

}  // namespace

engine::Status usePathMap(const engine::PathMapSources& sources) {
  auto map = engine::loadPathMap(sources);
  if (!map) return map.status();
  engine::setProcessPathMap(std::move(*map));
  return engine::Status::success();
}

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

std::optional<int> afterLoad(morvane& window, const engine::Status& loaded, std::ostream& errors) {
  if (loaded.ok()) return std::nullopt;
  if (!window.commandLineRun()) {
    window.reportError(loaded);
    return std::nullopt;
  }
  // Nobody may be asked anything: an install script waits for this process.
  writeErrorLine(errors, loaded.toString());
  return 1;
}

std::optional<int> answerRequest(const QStringList& arguments, std::ostream& out) {
  switch (links::programRequest(commandTextOf(arguments).toStdU16String())) {
    case links::ProgramRequest::help:
      out << kUsage;
      return 0;
    case links::ProgramRequest::version:
      out << "povezava " POVEZAVA_VERSION "\n";
      return 0;
    case links::ProgramRequest::run:
      break;
  }
  return std::nullopt;
}

int runPovezava(int argc, char** argv, engine::DBEngine& engine) {
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
  const QString commandText = commandTextOf(QCoreApplication::arguments());
  const bool arguments = links::parseCommandLine(commandText.toStdU16String()).present;
  if (!display && !arguments) {
    std::cerr << kNoDisplay;
    return 2;
  }

  QtFileDialog dialog;
  QtMessageBoxes boxes;
  // A wrong paths file stops the run before anything is opened or written.
  if (const engine::Status mapped = usePathMap(engine::programPathMapSources({})); !mapped.ok()) {
    writeErrorLine(std::cerr, mapped.toString());
    if (display && !arguments) {
      boxes.showError(nullptr, QStringLiteral("POVEZAVA"), QString::fromStdString(mapped.toString()));
    }
    return 2;
  }
  Environment env;
  env.engine = &engine;
  env.appPath = QCoreApplication::applicationDirPath();
  env.commandText = commandText;
  env.dialog = &dialog;
  env.boxes = display ? &boxes : nullptr;
  env.errors = &std::cerr;
  morvane window(env);

  if (const std::optional<int> status = afterLoad(window, window.formLoad(), std::cerr)) {
    return *status;
  }
  window.show();
  // Some platforms never activate the window (offscreen, an X server without a
  // window manager); the automatic relink then starts from the event loop.
  // Whichever comes first runs it, the other finds the flag cleared.
  QMetaObject::invokeMethod(&window, &morvane::formActivate, Qt::QueuedConnection);
  const int status = QApplication::exec();
  return status != 0 ? status : window.exitStatus();
}

}  // namespace povezava::window
