// Running the program: the platform to run on, the command text, Load, the
// window and the exit status.
#pragma once

#include <QString>
#include <QStringList>

class QLocale;
class QTranslator;
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "links/program.h"
#include "paths/path_map_sources.h"

namespace povezava::window {

// The value for QT_QPA_PLATFORM, or empty to leave the choice as it is.
// Nobody chose a platform (no -platform argument, QT_QPA_PLATFORM unset or
// empty): without a display (DISPLAY and WAYLAND_DISPLAY unset or empty) Qt's
// offscreen platform; with one, the display's platform with offscreen after
// it, for a display that cannot be reached (a stale DISPLAY over ssh). A
// command-line relink then still runs, on a server for example.
std::string platformChoice(bool platformArgument, std::string_view qpaPlatform,
                           std::string_view display, std::string_view waylandDisplay);

// True for Qt's platforms that show nothing to a user.
bool isHeadlessPlatform(const QString& platformName);

// The command text: the arguments after the program's name, joined with single
// spaces. `arguments` is QCoreApplication::arguments(), from which Qt has
// already taken its own options (-platform, -style, ...).
QString commandTextOf(const QStringList& arguments);

class morvane;

// Installs the translation of Qt's own texts (the file dialog's buttons and
// labels) for `locale` into the application, when Qt's translations are
// installed (Debian: qt6-translations-l10n); `translator` must outlive its
// use. True when one was found and installed.
bool installQtTranslations(QTranslator& translator, const QLocale& locale);

// "povezava --help" and "povezava --version": the usage or the version on
// `out` and the exit status 0. Nothing (a run) for any other command line.
// `arguments` start with the program's name.
std::optional<int> answerRequest(const QStringList& arguments, std::ostream& out);

// The program: the exit status of the form (links/relink_form.h): 0 when it
// did what it was asked; 1 when start-up failed on a command-line run or the
// relink was refused or failed; 2 when it was started without arguments and
// there is no display, or when the paths file has a wrong line.
// `program` is the program's engine, path map and notices.
int runPovezava(int argc, char** argv, links::Program& program);

}  // namespace povezava::window
