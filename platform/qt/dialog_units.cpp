#include "platform/qt/dialog_units.h"

#include <QFontMetrics>
#include <QStringList>

namespace platform::qt {
namespace {
// Rounded a * b / c, as the classic conversion does.
int MulDiv(int a, int b, int c) { return (a * b + c / 2) / c; }
}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = (width / 26 + 1) / 2;
    baseY_ = metrics.height();
}

int DialogUnits::X(int units) const { return MulDiv(units, baseX_, 4); }
int DialogUnits::Y(int units) const { return MulDiv(units, baseY_, 8); }

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(width), Y(height));
}

QFont DialogFont(const char* face, int pointSize) {
    const QString family = QString::fromLatin1(face);
    // The classic dialog face is not installed here: map it to the nearest
    // sans-serif families that are.
    if (QFont::substitutes(family).isEmpty())
        QFont::insertSubstitutions(family, {QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                                            QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    QFont font(family, pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace platform::qt
