// Runs the settings dialog in a KavDialogWindow.
#pragma once

#include "CKavSnmpConfApp.h"

class QtDialogRunner : public DialogRunner {
 public:
  INT_PTR RunModal(CKavSnmpConfDlg& dialog) override;
};
