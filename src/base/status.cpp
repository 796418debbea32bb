#include "base/status.h"

namespace povezava::engine {

const ErrorDetails& Status::details() const {
  static const ErrorDetails kNone;
  return details_ ? *details_ : kNone;
}

std::string Status::toString() const {
  if (ok()) return "ok";
  return "error " + std::to_string(number_) + ": " + description_;
}

}  // namespace povezava::engine
