#include "platform/qt/qt_backend.h"

#include <QApplication>
#include <QCoreApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImageReader>
#include <QUrl>
#include <QMessageBox>
#include <QPixmap>

#include "platform/dialog.h"
#include "platform/qt/qt_dialog_window.h"
#include "platform/qt/qt_list_view.h"
#include "platform/qt/qt_text.h"
#include "res/resources.h"

namespace platform::qt {
namespace {

Icon MakeIcon(const QPixmap& pixmap) {
    if (pixmap.isNull()) return {};
    return Icon(std::make_shared<const QPixmap>(pixmap), pixmap.width(), pixmap.height());
}

// The image of an icon file nearest the requested size, scaled to it.
QPixmap ReadIconImage(const QString& path, int width, int height) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QImage best;
    int bestScore = -1;
    const int count = std::max(reader.imageCount(), 1);
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i)) break;
        const QImage image = reader.read();
        if (image.isNull()) continue;
        // The exact size first, then the nearest larger one, then the largest.
        int score = image.width();
        if (image.width() == width && image.height() == height) score = 1 << 30;
        else if (image.width() > width) score = (1 << 20) - (image.width() - width);
        if (score > bestScore) {
            best = image;
            bestScore = score;
        }
    }
    if (best.isNull()) return {};
    if (best.width() != width || best.height() != height)
        best = best.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return QPixmap::fromImage(best);
}

}  // namespace

std::unique_ptr<WindowBackend> QtBackend::CreateDialogWindow(Dialog& dialog, Dialog* owner) {
    QWidget* parent = owner ? WidgetOf(*owner) : nullptr;
    return std::make_unique<QtDialogWindow>(dialog, parent);
}

Icon QtBackend::LoadIconFile(const char* path, int width, int height) {
    if (path == nullptr) return {};
    return MakeIcon(ReadIconImage(QString::fromLocal8Bit(path), width, height));
}

Icon QtBackend::LoadIconResource(int id) {
    const auto bytes = FindIconResource(id);
    if (bytes.empty()) return {};
    QPixmap pixmap;
    pixmap.loadFromData(bytes.data(), static_cast<uint>(bytes.size()), "PNG");
    return MakeIcon(pixmap);
}

void QtBackend::SetSettingsScope(std::string_view scope) {
    QCoreApplication::setOrganizationName(
        QString::fromLatin1(scope.data(), static_cast<qsizetype>(scope.size())));
}

int QtBackend::MessageBox(Dialog& owner, std::string_view text, std::string_view caption, unsigned /*type*/) {
    // MB_OK, the only type the program uses: one OK button, no icon.
    QMessageBox box(QMessageBox::NoIcon, ShownTitle(caption), ToQString(text), QMessageBox::Ok, WidgetOf(owner));
    box.setObjectName(QStringLiteral("messageBox"));
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return IDOK;
}

void QtBackend::SetClipboardText(std::string_view text) { QGuiApplication::clipboard()->setText(ToQString(text)); }

bool QtBackend::OpenUrl(std::string_view url) {
    return QDesktopServices::openUrl(QUrl(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size()))));
}

std::string QtBackend::AskSaveFileName(Dialog& owner, std::string_view caption, std::string_view suggested,
                                       std::string_view filter) {
    const QString path =
        QFileDialog::getSaveFileName(WidgetOf(owner), ShownTitle(caption), ToQString(suggested), ToQString(filter));
    return path.isEmpty() ? std::string() : QFile::encodeName(path).toStdString();
}

int RunApplication(int& argc, char** argv, WinApp& app) {
    QApplication qapp(argc, argv);
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarnwick.Tarnwick"));
    QtBackend backend;
    SetBackend(&backend);
    const bool keepRunning = app.InitInstance();
    const int code = keepRunning ? QApplication::exec() : 0;
    SetBackend(nullptr);
    return code;
}

QWidget* WidgetOf(const Dialog& dialog) {
    auto* window = dynamic_cast<QtDialogWindow*>(dialog.Window());
    return window ? window->Widget() : nullptr;
}

QWidget* ControlOf(const Dialog& dialog, int id) {
    auto* window = dynamic_cast<QtDialogWindow*>(dialog.Window());
    return window ? window->Control(id) : nullptr;
}

QTableView* TableViewOf(ListView* list) {
    auto* qtList = dynamic_cast<QtListView*>(list);
    return qtList ? qtList->View() : nullptr;
}

}  // namespace platform::qt
