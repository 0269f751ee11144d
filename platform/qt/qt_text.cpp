#include "platform/qt/qt_text.h"

#include "platform/codepage.h"

namespace platform::qt {

QString ToQString(std::string_view ansi) {
    bool ascii = true;
    for (unsigned char c : ansi) ascii = ascii && c < 0x80;
    if (ascii) return QString::fromLatin1(ansi.data(), static_cast<qsizetype>(ansi.size()));
    return QString::fromStdU16String(AnsiToWide(ansi));
}

std::string FromQString(const QString& text) {
    bool ascii = true;
    for (QChar c : text) ascii = ascii && c.unicode() < 0x80;
    if (ascii) return text.toLatin1().toStdString();
    return WideToAnsi(text.toStdU16String());
}

QString ShownTitle(std::string_view ansi) {
    const QString title = ToQString(ansi);
    return title.isEmpty() ? QStringLiteral(" ") : title;
}

}  // namespace platform::qt
