// Lossless conversion between the layer's UTF-16 texts and POSIX byte strings.
//
// File names on POSIX are bytes, usually UTF-8, and may hold what a path above
// the layer cannot: the characters \ : * ? " < > | and bytes that are not
// UTF-8. Each such character becomes U+F000 plus its code and each stray byte
// the lone surrogate U+DC00 plus the byte, so that the text never reads as a
// separator, a drive colon, a wildcard or a quote, and converts back to the
// very same bytes.
#pragma once

#include <string>
#include <string_view>

namespace platform::posix {

/// True for the characters that a name read from the file system holds
/// mapped to U+F000 + their code.
bool IsMappedAscii(char32_t c);

/// A layer path as a native path: both separators become '/', mapped
/// characters their ASCII selves, U+DC80..U+DCFF their raw bytes, other lone
/// surrogates U+FFFD; the rest is UTF-8. A text that holds U+0000 cannot name
/// anything and gives the empty string, which every system call refuses.
std::string NativePath(const std::u16string& path);

/// One native name (a single component) as layer text: strict UTF-8, the
/// characters \ : * ? " < > | mapped, each byte of an invalid sequence
/// U+DC00 + byte. A validly encoded U+F000 + one of those codes is taken as
/// its bytes, so that U+F0xx above the layer always means a mapped character.
std::u16string NameFromNative(std::string_view bytes);

/// A native path as layer text: each component as NameFromNative, each '/'
/// a backslash.
std::u16string PathFromNative(std::string_view bytes);

/// Command-line and typed text: strict UTF-8 without any character mapping;
/// stray bytes (and encoded U+F0xx of mapped characters) become U+DC00 + byte
/// as in names, so that a typed path still reaches the very same file.
std::u16string TextFromUtf8(std::string_view bytes);

/// Text for showing to a person: mapped characters as themselves, lone
/// surrogates as U+FFFD, the rest UTF-8.
std::string DisplayUtf8(const std::u16string& text);

/// Text for an archive entry name: like DisplayUtf8, except that a mapped
/// backslash stays U+F05C so that it does not read as a separator.
std::string ArchiveUtf8(const std::u16string& text);

}  // namespace platform::posix
