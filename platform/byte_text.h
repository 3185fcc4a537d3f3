// Bytes in the program's code page (UTF-8) to QString and back, without loss: a
// byte that is not part of valid UTF-8 becomes the lone surrogate U+DC80..U+DCFF
// and turns back into that byte, so any file name survives a trip through a widget.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace velkar {

// Decodes UTF-8; each byte of an invalid sequence becomes U+DC00 + byte.
QString BytesToText(std::string_view bytes);

// Encodes as UTF-8; a lone surrogate U+DC80..U+DCFF becomes its byte again. Other
// lone surrogates are written in the three-byte form, so nothing is dropped.
std::string TextToBytes(const QString& text);

// Number of bytes TextToBytes would give.
std::size_t TextByteLength(const QString& text);

}  // namespace velkar
