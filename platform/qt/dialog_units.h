// Dialog units to pixels, from the dialog font's base units: one horizontal
// unit is a quarter of the average character width, one vertical unit an
// eighth of the character height.
#pragma once

#include <QFont>
#include <QRect>

namespace platform::qt {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    int BaseX() const { return baseX_; }
    int BaseY() const { return baseY_; }
    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;

private:
    int baseX_;
    int baseY_;
};

// The dialog font of a template: its face (mapped to an installed family)
// at its point size.
QFont DialogFont(const char* face, int pointSize);

}  // namespace platform::qt
