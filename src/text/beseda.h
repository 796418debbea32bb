// BESEDA: the command-line word scanner.
//
// Splits the first word off a list such as "C:\APP\TQ.mdb, D:\DATA" and leaves
// the rest of the list in the variable that held the whole:
//   - a word ends at the first "," or ";" outside quotes;
//   - the double quote (code 34) and "'" both toggle one quoting state (they
//     need not pair up) and are never part of the word;
//   - the character with code 1 stands for a double quote inside the word
//     (appended as code 34, it does not toggle quoting);
//   - every other character, spaces included, belongs to the word; the word
//     is not trimmed.
// Afterwards LT holds the text after a "," that stopped the scan and is not
// the last character, with its leading spaces (code 32 only) removed. A stop at
// ";", a "," as the last character and a scan that ran to the end all leave LT
// empty. The rest is not scanned: quotes in it stay.
//
// Positions count 16-bit characters (UTF-16 code units), as the program's text
// is defined. Texts of any length are scanned the same way; no input fails.
#pragma once

#include <string>

namespace povezava::text {

// Returns the first word of LT and replaces LT by the rest (see above).
std::u16string BESEDA(std::u16string& LT);

}  // namespace povezava::text
