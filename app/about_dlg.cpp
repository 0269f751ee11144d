#include "app/about_dlg.h"

#include "res/resources.h"

CAboutDlg::CAboutDlg() : platform::Dialog(*FindDialogTemplate(IDD_ABOUTBOX)) {}
