#include "platform/qt/qt_dialog_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <chrono>

#include "platform/qt/dialog_units.h"
#include "platform/qt/qt_text.h"
#include "platform/window_messages.h"

namespace platform::qt {
namespace {

// A label without "no prefix" shows "&x" as x and "&&" as "&".
QString StripMnemonic(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

// The longest a drain of the UI queue runs before the event loop gets a turn.
constexpr std::chrono::milliseconds kDrainBudget{2};

// Raw (ANSI) caption of a control, kept beside the widget.
constexpr const char* kRawText = "tarnwickRawText";


}  // namespace

TemplateDialog::TemplateDialog(QtDialogWindow& window, QWidget* parent)
    : QDialog(parent), window_(window) {}

void TemplateDialog::accept() { window_.Owner().Dispatch(WM_COMMAND, BN_CLICKED, IDOK); }

void TemplateDialog::reject() { window_.Owner().Dispatch(WM_COMMAND, BN_CLICKED, IDCANCEL); }

void TemplateDialog::done(int result) {
    // Only EndDialog ends the window; anything else asking for it becomes the
    // matching command.
    if (result == QDialog::Accepted) accept();
    else reject();
}

void TemplateDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    window_.Owner().Dispatch(WM_CLOSE, 0, 0);
}

void TemplateDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) {
            button->click();
        } else {
            for (QPushButton* b : findChildren<QPushButton*>()) {
                if (b->isDefault() && b->isVisible() && b->isEnabled()) {
                    b->click();
                    break;
                }
            }
        }
        event->accept();
        return;
    case Qt::Key_Escape:
        event->accept();
        reject();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TemplateDialog::contextMenuEvent(QContextMenuEvent* event) {
    window_.ShowSystemMenu(event->globalPos());
    event->accept();
}

QtSystemMenu::QtSystemMenu(std::function<void(unsigned)> chosen) : chosen_(std::move(chosen)) {
    items_.push_back({SC_CLOSE, "&Close\tAlt+F4"});
}

void QtSystemMenu::AppendSeparator() { items_.push_back({0, std::string()}); }

void QtSystemMenu::AppendItem(unsigned commandId, std::string_view text) {
    items_.push_back({commandId, std::string(text)});
}

unsigned QtSystemMenu::ItemId(int index) const {
    return index >= 0 && index < ItemCount() ? items_[static_cast<std::size_t>(index)].id : 0;
}

std::string QtSystemMenu::ItemText(int index) const {
    return index >= 0 && index < ItemCount() ? items_[static_cast<std::size_t>(index)].text
                                             : std::string();
}

QMenu* QtSystemMenu::Build(QWidget* parent) const {
    auto* menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const Item& item : items_) {
        if (item.id == 0) {
            menu->addSeparator();
            continue;
        }
        const QString full = ToQString(item.text);
        const auto tab = full.indexOf(u'\t');
        QAction* action = menu->addAction(tab < 0 ? full : full.left(tab));
        if (tab >= 0) action->setShortcut(QKeySequence(full.mid(tab + 1)));
        const unsigned id = item.id;
        auto chosen = chosen_;
        QObject::connect(action, &QAction::triggered, menu, [chosen, id] { chosen(id); });
    }
    return menu;
}

QtDialogWindow::QtDialogWindow(Dialog& dialog, QWidget* parent)
    : dialog_(dialog),
      widget_(new TemplateDialog(*this, parent)),
      menu_([this](unsigned id) { dialog_.Dispatch(WM_SYSCOMMAND, 0, 0, id, 0); }) {
    Build();
    // One queued drain per batch; the widget's lifetime bounds the call. A
    // drain gives the event loop back after a few milliseconds, so that a
    // flood of rows never keeps the window from painting or answering.
    TemplateDialog* widget = widget_;
    dialog_.Queue().SetWake([this, widget] {
        QMetaObject::invokeMethod(
            widget, [this] { dialog_.Queue().Drain(kDrainBudget); }, Qt::QueuedConnection);
    });
}

QtDialogWindow::~QtDialogWindow() {
    dialog_.Queue().SetWake({});
    // The widgets go first: their signals reach the list wrappers.
    delete widget_.data();
    lists_.clear();
}

void QtDialogWindow::Build() {
    const DialogTemplate& t = dialog_.Template();
    TemplateDialog* w = widget_;
    w->setObjectName(QStringLiteral("dialog%1").arg(t.id));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if (t.style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    w->setWindowFlags(flags);
    w->setFont(DialogFont(t.fontFace, t.fontPointSize));
    const DialogUnits units(w->font());
    w->setFixedSize(units.X(t.width), units.Y(t.height));
    title_ = t.caption;
    w->setWindowTitle(ShownTitle(title_));

    for (const ControlTemplate& control : t.controls) {
        QWidget* widget = MakeControl(control);
        widget->setGeometry(units.Rect(control.x, control.y, control.width, control.height));
        if (control.style & WS_DISABLED) widget->setEnabled(false);
        if (control.id != kStaticId) controls_[control.id] = widget;
    }
    // Alt+Space opens the system menu, as the title bar's menu would.
    auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Alt+Space")), w);
    QObject::connect(shortcut, &QShortcut::activated, w,
                     [this] { ShowSystemMenu(widget_->mapToGlobal(QPoint(0, 0))); });
}

QWidget* QtDialogWindow::MakeControl(const ControlTemplate& c) {
    TemplateDialog* parent = widget_;
    const QString caption = ToQString(c.caption ? c.caption : "");
    const bool tabStop = (c.style & WS_TABSTOP) != 0;
    QWidget* widget = nullptr;
    switch (c.kind) {
    case ControlKind::ListView: {
        auto* view = new QTableView(parent);
        view->setFrameShape((c.style & WS_BORDER) ? QFrame::StyledPanel : QFrame::NoFrame);
        const int id = c.id;
        lists_[c.id] = std::make_unique<QtListView>(view, c.style, [this, id] {
            dialog_.Dispatch(WM_NOTIFY, LVN_ITEMCHANGED, id);
        });
        widget = view;
        break;
    }
    case ControlKind::PushButton: {
        auto* button = new QPushButton(caption, parent);
        const bool isDefault = (c.style & 0x0Fu) == BS_DEFPUSHBUTTON;
        button->setAutoDefault(isDefault);
        button->setDefault(isDefault);
        const int id = c.id;
        QObject::connect(button, &QPushButton::clicked, parent,
                         [this, id] { dialog_.Dispatch(WM_COMMAND, BN_CLICKED, id); });
        widget = button;
        break;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(caption, parent);
        const int id = c.id;
        QObject::connect(box, &QCheckBox::clicked, parent,
                         [this, id] { dialog_.Dispatch(WM_COMMAND, BN_CLICKED, id); });
        widget = box;
        break;
    }
    case ControlKind::GroupBox: {
        auto* group = new QGroupBox(caption, parent);
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        group->lower();
        widget = group;
        break;
    }
    case ControlKind::Label: {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setText((c.style & SS_NOPREFIX) ? caption : StripMnemonic(caption));
        label->setProperty("noPrefix", bool(c.style & SS_NOPREFIX));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
    }
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(caption, parent);
        edit->setFrame((c.style & WS_BORDER) != 0);
        widget = edit;
        break;
    }
    case ControlKind::Icon: {
        auto* label = new QLabel(parent);
        if (Backend* backend = GetBackend()) {
            const Icon icon = backend->LoadIconResource(c.iconResource);
            if (!icon.IsNull()) {
                const auto* pixmap = static_cast<const QPixmap*>(icon.Native());
                label->setPixmap(pixmap->scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            }
        }
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
    }
    }
    widget->setProperty(kRawText, QByteArray(c.caption ? c.caption : ""));
    widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus);
    if (c.id != kStaticId) widget->setObjectName(QStringLiteral("control%1").arg(c.id));
    return widget;
}

QWidget* QtDialogWindow::Control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void QtDialogWindow::SetTitle(std::string_view ansi) {
    title_.assign(ansi);
    if (widget_) widget_->setWindowTitle(ShownTitle(ansi));
}

std::string QtDialogWindow::Title() const { return title_; }

void QtDialogWindow::SetControlText(int id, std::string_view ansi) {
    QWidget* w = Control(id);
    if (!w) return;
    const QString text = ToQString(ansi);
    w->setProperty(kRawText, QByteArray(ansi.data(), static_cast<qsizetype>(ansi.size())));
    if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(label->property("noPrefix").toBool() ? text : StripMnemonic(text));
    else if (auto* group = qobject_cast<QGroupBox*>(w)) group->setTitle(text);
}

std::string QtDialogWindow::ControlText(int id) const {
    QWidget* w = Control(id);
    if (!w) return {};
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return FromQString(edit->text());
    return w->property(kRawText).toByteArray().toStdString();
}

void QtDialogWindow::EnableControl(int id, bool enable) {
    if (QWidget* w = Control(id)) w->setEnabled(enable);
}

bool QtDialogWindow::IsControlEnabled(int id) const {
    QWidget* w = Control(id);
    return w && w->isEnabled();
}

void QtDialogWindow::SetCheck(int id, int state) {
    if (auto* box = qobject_cast<QCheckBox*>(Control(id))) box->setChecked(state == BST_CHECKED);
}

int QtDialogWindow::Check(int id) const {
    auto* box = qobject_cast<QCheckBox*>(Control(id));
    return box && box->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

ListView* QtDialogWindow::List(int id) {
    const auto it = lists_.find(id);
    return it == lists_.end() ? nullptr : it->second.get();
}

void QtDialogWindow::SetIcon(const Icon& icon, bool big) {
    const QPixmap pixmap = icon.IsNull() ? QPixmap() : *static_cast<const QPixmap*>(icon.Native());
    (big ? bigIcon_ : smallIcon_) = pixmap;
    QIcon combined;
    if (!bigIcon_.isNull()) combined.addPixmap(bigIcon_);
    if (!smallIcon_.isNull()) combined.addPixmap(smallIcon_);
    if (widget_) widget_->setWindowIcon(combined);
}

void QtDialogWindow::FocusFirstControl() {
    for (const ControlTemplate& c : dialog_.Template().controls) {
        QWidget* w = Control(c.id);
        if (w && (c.style & WS_TABSTOP) && w->isEnabled()) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

std::intptr_t QtDialogWindow::RunModal() {
    if (!widget_) return -1;
    widget_->setModal(true);
    return widget_->exec();
}

void QtDialogWindow::OpenModal(std::function<void(std::intptr_t)> ended) {
    if (!widget_) return;
    QObject::connect(widget_.data(), &QDialog::finished, widget_.data(),
                     [ended](int result) { ended(result); });
    widget_->setWindowModality(Qt::ApplicationModal);
    widget_->show();
}

void QtDialogWindow::End(std::intptr_t result) {
    if (widget_) widget_->EndWith(static_cast<int>(result));
}

void QtDialogWindow::ShowSystemMenu(const QPoint& globalPos) {
    if (!widget_) return;
    QMenu* menu = menu_.Build(widget_);
    menu->setObjectName(QStringLiteral("systemMenu"));
    menu->popup(globalPos);
}

}  // namespace platform::qt
