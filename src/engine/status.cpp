#include "engine/status.h"

namespace povezava::engine {

std::string Status::toString() const {
  if (ok()) return "ok";
  return "error " + std::to_string(number_) + ": " + description_;
}

}  // namespace povezava::engine
