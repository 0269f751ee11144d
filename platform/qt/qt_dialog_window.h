// A dialog window built from a template: Qt widgets placed in dialog units,
// with their signals turned into the dialog's messages in one place.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/backend.h"
#include "platform/dialog.h"
#include "platform/qt/qt_list_view.h"

class QMenu;

namespace platform::qt {

class QtDialogWindow;

// The widget itself. Closing, Escape and Enter become messages of the dialog
// instead of ending the window behind its back.
class TemplateDialog : public QDialog {
    Q_OBJECT
public:
    TemplateDialog(QtDialogWindow& window, QWidget* parent);
    void EndWith(int result) { QDialog::done(result); }

public slots:
    void accept() override;
    void reject() override;
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QtDialogWindow& window_;
};

class QtSystemMenu : public SystemMenu {
public:
    explicit QtSystemMenu(std::function<void(unsigned)> chosen);
    void AppendSeparator() override;
    void AppendItem(unsigned commandId, std::string_view text) override;
    int ItemCount() const override { return static_cast<int>(items_.size()); }
    unsigned ItemId(int index) const override;
    std::string ItemText(int index) const override;
    // Builds the menu; its entries deliver their command ids.
    QMenu* Build(QWidget* parent) const;

private:
    struct Item {
        unsigned id;
        std::string text;
    };
    std::vector<Item> items_;
    std::function<void(unsigned)> chosen_;
};

class QtDialogWindow : public WindowBackend {
public:
    QtDialogWindow(Dialog& dialog, QWidget* parent);
    ~QtDialogWindow() override;

    void SetTitle(std::string_view ansi) override;
    std::string Title() const override;
    void SetControlText(int id, std::string_view ansi) override;
    std::string ControlText(int id) const override;
    void EnableControl(int id, bool enable) override;
    bool IsControlEnabled(int id) const override;
    void SetCheck(int id, int state) override;
    int Check(int id) const override;
    ListView* List(int id) override;
    SystemMenu* Menu() override { return &menu_; }
    void SetIcon(const Icon& icon, bool big) override;
    void FocusFirstControl() override;
    std::intptr_t RunModal() override;
    void OpenModal(std::function<void(std::intptr_t)> ended) override;
    void End(std::intptr_t result) override;

    Dialog& Owner() const { return dialog_; }
    TemplateDialog* Widget() const { return widget_; }
    QWidget* Control(int id) const;
    void ShowSystemMenu(const QPoint& globalPos);

private:
    void Build();
    QWidget* MakeControl(const ControlTemplate& control);

    Dialog& dialog_;
    QPointer<TemplateDialog> widget_;
    std::map<int, QWidget*> controls_;
    std::map<int, std::unique_ptr<QtListView>> lists_;
    QtSystemMenu menu_;
    QPixmap bigIcon_;
    QPixmap smallIcon_;
    std::string title_;
};

}  // namespace platform::qt
