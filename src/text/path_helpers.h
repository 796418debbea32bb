// StripFileName and StripFilepath: the folder part and the file-name part of
// a path, split at its last folder separator.
//
// Which characters separate folders is a parameter:
//   kWindowsSeparators  "\" only ("/" is an ordinary character);
//   kNativeSeparators   "\" and "/" (Linux and other POSIX systems, where "/"
//                       is the native separator and "\" still comes from
//                       Windows paths typed or stored in link strings);
//   kPlatformSeparators the one of the two that fits the platform we run on;
//                       the default.
// A drive designator ends in ":"; a folder part that is a bare drive ("D:")
// gets a final "\" so that it names the drive's root folder ("D:\"), with
// either set of separators.
//
// Neither function fails or changes its argument; positions count 16-bit
// characters (UTF-16 code units).
#pragma once

#include <string>
#include <string_view>

namespace povezava::text {

inline constexpr std::u16string_view kWindowsSeparators = u"\\";
inline constexpr std::u16string_view kNativeSeparators = u"\\/";
#ifdef _WIN32
inline constexpr std::u16string_view kPlatformSeparators = kWindowsSeparators;
#else
inline constexpr std::u16string_view kPlatformSeparators = kNativeSeparators;
#endif

// The folder part: everything before the last separator (empty when there is
// none, or when the only one is the first character), plus "\" when that ends
// in ":". A path ending in a separator loses only that last one.
//   "D:\DATA\PARTNER.MDB" -> "D:\DATA"   "D:\P.MDB" -> "D:\"   "PARTNER.MDB" -> ""
std::u16string StripFileName(const std::u16string& rsFileName,
                             std::u16string_view separators = kPlatformSeparators);

// The file-name part: everything after the last separator; the whole text when
// there is none; empty when the text ends in a separator.
//   "D:\DATA\PARTNER.MDB" -> "PARTNER.MDB"   "D:\DATA\" -> ""
std::u16string StripFilepath(const std::u16string& rsFileName,
                             std::u16string_view separators = kPlatformSeparators);

}  // namespace povezava::text
