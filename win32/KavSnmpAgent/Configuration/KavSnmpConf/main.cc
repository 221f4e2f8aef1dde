// KavSnmpConf, the tray tool that edits the agent's settings file: the Qt
// application around CKavSnmpConfApp.
#include <QApplication>

#include "CKavSnmpConfApp.h"
#include "ControllerTable.h"
#include "qt/QtDialogRunner.h"
#include "qt/QtMessageBoxes.h"
#include "qt/QtResources.h"
#include "qt/QtTrayShell.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // Hiding the window behind the tray icon must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);
  QtMessageBoxes boxes;
  QtResources resources;
  QtTrayShell shell;
  QtDialogRunner runner;
  CKavSnmpConfApp app(AppServices{boxes, shell, resources, runner, TheControllerTable(),
                                  SocketsAvailable});
  app.InitInstance();
  return 0;
}
