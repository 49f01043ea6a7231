#include "config/cp1252.h"

#include "CodigoComun/CodePage.h"

namespace kalvorin::config {

QString from_ansi(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char b : bytes) {
        auto u = static_cast<unsigned char>(b);
        out.append(QChar(static_cast<char16_t>(cp1252_char(u))));
    }
    return out;
}

std::string to_ansi(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) out.push_back(static_cast<char>(cp1252_byte(c.unicode()).value_or('?')));
    return out;
}

}  // namespace kalvorin::config
