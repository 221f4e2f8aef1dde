// The modal run of the settings window.
#include "QtDialogRunner.h"

#include "KavDialogWindow.h"

INT_PTR QtDialogRunner::RunModal(CKavSnmpConfDlg& dialog) {
  KavDialogWindow window(dialog);
  return window.RunModal();
}
