// The tray tool's start-up sequence and single-instance rule.
#include "CKavSnmpConfApp.h"

#include <sys/socket.h>
#include <unistd.h>

#include <netinet/in.h>

#include "Resource.h"

bool SocketsAvailable() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

CKavSnmpConfApp::~CKavSnmpConfApp() {
  if (m_hInstanceMutex != nullptr) CloseHandle(m_hInstanceMutex);
}

BOOL CKavSnmpConfApp::InitInstance() {
  // Common controls and the framework's own start-up need nothing here.
  if (m_services.init_sockets && !m_services.init_sockets()) {
    m_services.boxes.MessageBox(kSocketsInitFailed, MB_OK);
    return FALSE;
  }
  // Control containers need nothing either.

  HANDLE mutex = CreateMutexA(nullptr, FALSE, kSingleInstanceMutex);
  if (mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);  // not ours to keep: the running instance holds the name
    m_services.boxes.MessageBox(kOneInstance, MB_OK);
    return FALSE;
  }
  // Without a handle the tool carries on as the only instance.
  m_hInstanceMutex = mutex;

  m_hIcons[0] = m_services.resources.LoadIcon(IDR_MAINFRAME);
  {
    CKavSnmpConfDlg dialog(DialogServices{m_services.boxes, m_services.shell,
                                          m_services.resources, m_hIcons,
                                          m_services.controllers});
    m_bDialogRan = true;
    m_services.runner.RunModal(dialog);
  }
  return FALSE;
}
