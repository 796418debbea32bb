// The local time as povezava writes it into file names: "YYYYMMDD-HHMMSS".
#pragma once

#include <ctime>
#include <string>

namespace povezava::engine {

std::string localTimeStamp(std::time_t when);

}  // namespace povezava::engine
