// The Qt window of the settings dialog.
#include "KavDialogWindow.h"

#include <QCloseEvent>
#include <QCursor>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSocketNotifier>
#include <cstdio>
#include <set>

#include "QtResources.h"
#include "Resource.h"
#include "platform/handles.h"

namespace {

std::set<KavDialogWindow*>& LiveWindows() {
  static std::set<KavDialogWindow*> windows;
  return windows;
}

// The picture control: shows what the dialog paints for the banner area.
class BannerWidget : public QWidget {
 public:
  BannerWidget(CKavSnmpConfDlg& dialog, QWidget* parent) : QWidget(parent), dialog_(dialog) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    PixelSurface banner = dialog_.PaintBanner();
    if (banner.Width() == 0) return;
    QPainter painter(this);
    painter.drawImage(0, 0, ImageFromSurface(banner));
  }

 private:
  CKavSnmpConfDlg& dialog_;
};

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace

KavDialogWindow::KavDialogWindow(CKavSnmpConfDlg& dialog) : dialog_(dialog) {
  LiveWindows().insert(this);
  const DialogTemplate& tpl = SettingsDialogTemplate();
  QFont font(QString::fromLatin1(tpl.font_face));
  font.setPointSize(tpl.font_points);
  setFont(font);
  QFontMetrics metrics(font);
  units_ = BaseUnitsFromFont(metrics.horizontalAdvance(QString::fromLatin1(kAlphabet)),
                             metrics.height());
  setWindowTitle(QString::fromUtf8(tpl.title));
  RECT size = MapDialogRect(0, 0, tpl.width, tpl.height, units_);
  setFixedSize(size.Width(), size.Height());
  setModal(false);
  BuildControls();

  endpoint_ = KavCreateWindowEndpoint(tpl.title);
  if (endpoint_ == nullptr) {
    std::fprintf(stderr, "KavSnmpConf: not listening for window messages (error %u)\n",
                 GetLastError());
  } else {
    notifier_ = new QSocketNotifier(KavWindowEndpointFd(endpoint_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this,
            [this] { KavDispatchWindowMessages(endpoint_, FromOtherProgram, this); });
  }
}

KavDialogWindow::~KavDialogWindow() {
  LiveWindows().erase(this);
  delete notifier_;
  KavCloseWindowEndpoint(endpoint_);
}

void KavDialogWindow::BuildControls() {
  radios_.setExclusive(true);
  for (const DialogControl& control : SettingsDialogTemplate().controls) {
    QString text = QString::fromUtf8(control.text);
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::kPicture:
        widget = new BannerWidget(dialog_, this);
        break;
      case ControlKind::kGroupBox:
        widget = new QGroupBox(text, this);
        break;
      case ControlKind::kStaticText:
        widget = new QLabel(text, this);
        break;
      case ControlKind::kEdit:
        widget = new QLineEdit(this);
        break;
      case ControlKind::kRadioButton: {
        auto* radio = new QRadioButton(text, this);
        radios_.addButton(radio, control.id);
        widget = radio;
        break;
      }
      case ControlKind::kDefaultButton:
      case ControlKind::kButton: {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false);
        button->setDefault(control.kind == ControlKind::kDefaultButton);
        int id = control.id;
        connect(button, &QPushButton::clicked, this,
                [this, id] { SendMessage(WM_COMMAND, static_cast<WPARAM>(id), 0); });
        widget = button;
        break;
      }
    }
    RECT r = MapDialogRect(control.x, control.y, control.width, control.height, units_);
    widget->setGeometry(r.left, r.top, r.Width(), r.Height());
    if (control.id >= 0) controls_[control.id] = widget;
  }
}

void KavDialogWindow::Initialise() {
  dialog_.SetHost(this);
  dialog_.OnInitDialog();
}

INT_PTR KavDialogWindow::RunModal() {
  Initialise();
  if (!ended_) {
    show();
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
  }
  hide();
  return result_;
}

LRESULT KavDialogWindow::SendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return dialog_.WindowProc(message, wparam, lparam);
}

void KavDialogWindow::PostMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  QMetaObject::invokeMethod(
      this, [this, message, wparam, lparam] { SendMessage(message, wparam, lparam); },
      Qt::QueuedConnection);
}

KavDialogWindow* KavDialogWindow::FromHwnd(HWND hwnd) {
  auto* window = static_cast<KavDialogWindow*>(hwnd);
  return LiveWindows().count(window) != 0 ? window : nullptr;
}

LRESULT KavDialogWindow::FromOtherProgram(void* window, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
  return static_cast<KavDialogWindow*>(window)->SendMessage(message, wparam, lparam);
}

QWidget* KavDialogWindow::Control(int id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void KavDialogWindow::ShowWindow(int command) {
  if (command == SW_HIDE) {
    hide();
    return;
  }
  showNormal();
  raise();
  activateWindow();
}

bool KavDialogWindow::IsIconic() { return isMinimized(); }

void KavDialogWindow::SetIcon(HICON icon, int) {
  if (icon != nullptr) setWindowIcon(*static_cast<QIcon*>(icon));
}

void KavDialogWindow::SetDlgItemText(int id, const std::string& text) {
  QWidget* widget = Control(id);
  QString value = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(value);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(value);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(value);
  }
}

std::string KavDialogWindow::GetDlgItemText(int id) {
  QWidget* widget = Control(id);
  QString value;
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    value = edit->text();
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    value = label->text();
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    value = button->text();
  }
  return value.toUtf8().toStdString();
}

void KavDialogWindow::LimitText(int id, int characters) {
  if (auto* edit = qobject_cast<QLineEdit*>(Control(id))) edit->setMaxLength(characters);
}

void KavDialogWindow::ShowDlgItem(int id, bool show) {
  if (QWidget* widget = Control(id)) widget->setVisible(show);
}

void KavDialogWindow::CheckRadioButton(int first, int last, int check) {
  QAbstractButton* target = check >= first && check <= last ? radios_.button(check) : nullptr;
  if (target != nullptr) {
    target->setChecked(true);  // the group unchecks the others
    return;
  }
  // A value outside the group leaves none checked.
  radios_.setExclusive(false);
  for (int id = first; id <= last; ++id) {
    if (QAbstractButton* button = radios_.button(id)) button->setChecked(false);
  }
  radios_.setExclusive(true);
}

int KavDialogWindow::GetCheckedRadioButton(int first, int last) {
  int id = radios_.checkedId();
  return id >= first && id <= last ? id : 0;
}

COLORREF KavDialogWindow::GetSysColor(int) {
  QColor face = palette().color(QPalette::Window);
  return RGB(face.red(), face.green(), face.blue());
}

RECT KavDialogWindow::GetDlgItemClientRect(int id) {
  RECT r;
  if (QWidget* widget = Control(id)) {
    QRect g = widget->geometry();
    r.left = g.left();
    r.top = g.top();
    r.right = g.left() + g.width();
    r.bottom = g.top() + g.height();
  }
  return r;
}

void KavDialogWindow::InvalidateBanner() {
  if (QWidget* banner = Control(IDC_PICTURE)) banner->update();
}

void KavDialogWindow::SetForegroundWindow() { activateWindow(); }

POINT KavDialogWindow::GetCursorPos() {
  QPoint at = QCursor::pos();
  POINT p;
  p.x = at.x();
  p.y = at.y();
  return p;
}

void KavDialogWindow::TrackPopupMenu(const PopupMenu& menu, UINT, POINT at) {
  QMenu popup;
  for (const MenuItem& item : menu) {
    QAction* action = popup.addAction(QString::fromUtf8(item.text));
    action->setData(static_cast<uint>(item.command));
  }
  QAction* chosen = popup.exec(QPoint(at.x, at.y));
  if (chosen != nullptr) PostMessage(WM_COMMAND, chosen->data().toUInt(), 0);
}

void KavDialogWindow::EndDialog(INT_PTR result) {
  ended_ = true;
  result_ = result;
  if (loop_ != nullptr) loop_->exit();
}

void KavDialogWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
}

void KavDialogWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      SendMessage(WM_COMMAND, IDCANCEL, 0);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // The default button, "&Save".
      SendMessage(WM_COMMAND, IDOK, 0);
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}
