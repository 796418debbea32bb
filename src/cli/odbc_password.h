// Passwords kept in plain text in an ODBC link's connect text.
//
// The connect text is a list of KEY=VALUE attributes separated by ";"; keys
// ignore case and surrounding spaces; a value in braces ("{a;b}") may hold
// ";", and "}}" inside braces stands for "}". The password keys are PWD and
// PASSWORD. A link to a file keeps its path after "DATABASE=", to the end:
// a folder named "PWD=x" there is part of the path, not a password.
#pragma once

#include <string>
#include <string_view>

namespace povezava::cli {

// True when the text gives a password key a non-empty value.
bool holdsPlainPassword(std::u16string_view connect);

// The text with every non-empty password value replaced by "***", the rest
// unchanged.
std::u16string maskPasswords(std::u16string_view connect);

}  // namespace povezava::cli
