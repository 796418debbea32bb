#include "links/program.h"
#include "platform/file_system.h"
#include "window/app.h"

int main(int argc, char** argv) {
  // The one engine of the program, over the real file system.
  povezava::links::Program program(povezava::engine::posixFileSystem());
  return povezava::window::runPovezava(argc, argv, program);
}
