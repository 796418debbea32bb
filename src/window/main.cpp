#include "engine/engine.h"
#include "window/app.h"

int main(int argc, char** argv) {
  return povezava::window::runPovezava(argc, argv, povezava::engine::dbEngine());
}
