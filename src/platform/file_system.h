// The real file system: POSIX calls on Linux (io_posix.cpp), the Win32 API on
// Windows (io_windows.cpp), with the same behaviour and errors.
//
// The engine never reaches it by itself: a program's main, a tool or a test
// hands it to the engine it makes.
#pragma once

#include "base/io.h"

namespace povezava::engine {

FileSystem& posixFileSystem();

}  // namespace povezava::engine
