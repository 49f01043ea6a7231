#pragma once
// The widget boundary: the program's texts are Windows-1252 bytes, Qt's are
// UTF-16. Every byte maps to one character and back, so a text survives a
// round trip through a widget unchanged; the five bytes that Windows-1252
// leaves undefined map to the C1 control characters of the same code.
// Characters that Windows-1252 cannot hold become "?".
#include <string>
#include <string_view>

#include <QString>

namespace kalvorin::config {

QString from_ansi(std::string_view bytes);
std::string to_ansi(const QString& text);

}  // namespace kalvorin::config
