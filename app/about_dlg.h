// The About box, template 100.
#pragma once

#include "platform/dialog.h"

class CAboutDlg : public platform::Dialog {
public:
    CAboutDlg();
};
