#include "app/tarnwick_app.h"

#include "app/tarnwick_dlg.h"

CTarnwickApp theApp;

bool CTarnwickApp::InitInstance() {
    // The toolkit registers its control classes and containers itself.
    SetRegistryKey("Local AppWizard-Generated Applications");
    CTarnwickDlg dlg;
    mainWindow = &dlg;
    dlg.DoModal();
    mainWindow = nullptr;
    // The program ends once the dialog has ended.
    return false;
}
