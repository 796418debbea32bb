// The command text of a Windows program: what follows the program's own name
// in the command line as Windows passes it (GetCommandLineW), unchanged, so
// that quotes, commas and blanks reach start-up exactly as a shortcut or a
// script wrote them. Plain C++, so that its tests run anywhere.
#pragma once

#include <string_view>

namespace povezava::win32 {

// The text after the program's name. The name ends as Windows' own parser
// (CommandLineToArgvW) ends it: a name that starts with a double quote runs to
// the next double quote (the quotes are part of it), any other name to the
// first blank or tab. The one blank or tab that ends the name goes with it;
// everything after it is returned as it stands (start-up trims the spaces).
std::u16string_view commandTail(std::u16string_view commandLine);

}  // namespace povezava::win32
