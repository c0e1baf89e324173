#pragma once

// A small reader and writer of sectioned key=value settings files:
//
//   [Section]
//   Key=Value
//   ; comment
//
// Section and key names match without regard to ASCII letter case, and
// blanks around names and values do not count. The first section and the
// first key of a given name are the ones read and replaced. Everything else
// in the file (other sections and keys, comments, blank lines, the order,
// the line ends, a UTF-8 byte-order mark in front) is kept as it was.

#include <cstdint>
#include <string>

namespace tovani {

// The integer under key in section of file, or defaultValue when the file,
// the section or the key does not exist, or the key has no value at all.
// A value is read as a leading integer: optional blanks, an optional sign
// and decimal digits, the rest of the value ignored ("12px" is 12); a value
// that does not start with a number is 0. Values beyond the 32-bit range
// are clamped to INT32_MIN or INT32_MAX instead of wrapping.
int32_t getPrivateProfileInt(const std::string& section, const std::string& key,
                             int32_t defaultValue, const std::string& file);

// Sets key in section of file to value: an existing key's line is replaced
// in place; a missing key is added at the end of its section; a missing
// section is added at the end of the file, and a missing file is created
// (its folder must exist). The file is replaced as a whole through a
// temporary file beside it, so a failed write leaves the old file intact.
// Returns false when the file cannot be read or written, or when a name or
// the value cannot be stored in the file's form (an empty key, a line break
// anywhere, "=" in the key, "]" in the section, blanks around a name).
bool writePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& file);

}  // namespace tovani
