// Writes the window's icon, as icon.cpp draws it, to PNG files for the
// desktop to show: export_icons SIZE FILE [SIZE FILE ...]. Runs at build time.
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <cstdio>

#include "window/icon.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 3 || argc % 2 != 1) {
    std::fprintf(stderr, "usage: export_icons SIZE FILE [SIZE FILE ...]\n");
    return 2;
  }
  for (int i = 1; i + 1 < argc; i += 2) {
    bool number = false;
    const int size = QString::fromLocal8Bit(argv[i]).toInt(&number);
    if (!number || size <= 0) {
      std::fprintf(stderr, "export_icons: '%s' is not a size\n", argv[i]);
      return 2;
    }
    if (!povezava::window::iconImage(size).save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
      std::fprintf(stderr, "export_icons: cannot write %s\n", argv[i + 1]);
      return 1;
    }
  }
  return 0;
}
