// The Qt backend of the platform layer, and the program's entry into Qt.
#pragma once

#include "platform/application.h"
#include "platform/backend.h"

class QWidget;
class QTableView;

namespace platform {
class Dialog;
class ListView;
}  // namespace platform

namespace platform::qt {

class QtBackend : public Backend {
public:
    std::unique_ptr<WindowBackend> CreateDialogWindow(Dialog& dialog, Dialog* owner) override;
    Icon LoadIconFile(const char* path, int width, int height) override;
    Icon LoadIconResource(int id) override;
    void SetSettingsScope(std::string_view scope) override;
    int MessageBox(Dialog& owner, std::string_view text, std::string_view caption, unsigned type) override;
    void SetClipboardText(std::string_view text) override;
    bool OpenUrl(std::string_view url) override;
    std::string AskSaveFileName(Dialog& owner, std::string_view caption, std::string_view suggested,
                                std::string_view filter) override;
};

// Starts Qt, installs the backend and runs the application object. Returns
// the process's exit code.
int RunApplication(int& argc, char** argv, WinApp& app);

// Access to the widgets behind a dialog, for tests and screenshots.
QWidget* WidgetOf(const Dialog& dialog);
QWidget* ControlOf(const Dialog& dialog, int id);
QTableView* TableViewOf(ListView* list);

}  // namespace platform::qt
