#include "tests/app/screenshot.h"

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWidget>

namespace testing_support {

bool SaveWindowPicture(QWidget* window, const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    // Paints the window holds back for a moment (a list that rows have just
    // streamed into) happen first.
    QTest::qWait(150);
    const QImage client = window->grab().toImage();
    const int bar = 26;
    const int border = 1;
    QImage picture(client.width() + 2 * border, client.height() + bar + border, QImage::Format_ARGB32);
    picture.fill(QColor(60, 60, 60));
    QPainter painter(&picture);
    painter.fillRect(border, border, client.width(), bar - border, QColor(235, 235, 235));
    int x = border + 6;
    const QIcon icon = window->windowIcon();
    if (!icon.isNull()) {
        painter.drawPixmap(x, border + (bar - 16) / 2, icon.pixmap(16, 16));
        x += 22;
    }
    QFont font = window->font();
    font.setPointSizeF(font.pointSizeF() + 1);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(x, border, client.width() - x - 30, bar - border), Qt::AlignVCenter | Qt::AlignLeft,
                     window->windowTitle());
    // The close button of the title bar.
    const QRect close(client.width() + border - 24, border + 4, 16, 16);
    painter.setPen(QPen(Qt::black, 1.5));
    painter.drawLine(close.topLeft() + QPoint(4, 4), close.bottomRight() - QPoint(4, 4));
    painter.drawLine(close.topRight() + QPoint(-4, 4), close.bottomLeft() + QPoint(4, -4));
    painter.drawImage(border, bar, client);
    painter.end();
    return picture.save(QString::fromStdString(file.string()), "PNG");
}

}  // namespace testing_support
