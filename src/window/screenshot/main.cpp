// povezava-screenshot FOLDER OUT.png: the window as it opens, without
// arguments, in FOLDER (which holds the front-end TQ.mdb), grabbed from the
// display it runs on. scripts/screenshot runs it under Xvfb for the README.
// Not installed.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <iostream>

#include "links/program.h"
#include "platform/file_system.h"
#include "window/file_dialog.h"
#include "window/messages.h"
#include "window/morvane.h"

namespace {

// Lets the event loop run for `ms` milliseconds, or until `done` holds.
template <typename Done>
void runEventsFor(int ms, Done done) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms && !done()) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 3) {
    std::cerr << "usage: povezava-screenshot FOLDER OUT.png\n";
    return 2;
  }
  const QString folder = QDir(args[1]).absolutePath();
  const QString out = QFileInfo(args[2]).absoluteFilePath();  // before the folder changes
  if (!QDir::setCurrent(folder)) {
    std::cerr << "povezava-screenshot: no folder " << folder.toStdString() << '\n';
    return 1;
  }

  povezava::window::QtFileDialog dialog;
  // A picture of the window as the clerk first sees it: any message of Load
  // (its failure is on stderr) spoils it.
  struct CountingBoxes final : povezava::window::MessageBoxes {
    int shown = 0;
    void show(QWidget*, povezava::links::MessageKind, const QString&, const QString&) override { ++shown; }
  } boxes;
  povezava::window::Environment env;
  povezava::links::Program program(povezava::engine::posixFileSystem());
  env.engine = &program.engine();
  env.program = &program;
  env.appPath = folder;
  env.dialog = &dialog;
  env.boxes = &boxes;
  env.errors = &std::cerr;
  povezava::window::morvane window(env);
  if (window.formLoad() || boxes.shown > 0) {
    std::cerr << "povezava-screenshot: the window did not load cleanly\n";
    return 1;
  }
  window.show();
  runEventsFor(5000, [&] { return window.windowHandle()->isExposed(); });
  runEventsFor(500, [] { return false; });  // let it paint
  const QPixmap shot = window.screen()->grabWindow(window.winId());
  if (shot.isNull()) {
    std::cerr << "povezava-screenshot: the display gave no picture of the window\n";
    return 1;
  }
  if (!shot.save(out, "PNG")) {
    std::cerr << "povezava-screenshot: cannot write " << out.toStdString() << '\n';
    return 1;
  }
  return 0;
}
