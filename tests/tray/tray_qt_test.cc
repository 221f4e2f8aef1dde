// The Qt layer of the settings window, headless (offscreen platform): the
// layout from dialog units, the banner with its transparent corners, Enter and
// Escape, the close box, the hide message sent by another program, and the
// program itself run to its end by messages from another program.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "KavDialogWindow.h"
#include "QtResources.h"
#include "Resource.h"
#include "tray_fakes.h"

namespace {

class TrayQtWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.WriteIni("[SNMP]\nNoLevel=1\nCommunity=public\n");
    icons_[0] = resources_.LoadIcon(IDR_MAINFRAME);
    dialog_ = std::make_unique<CKavSnmpConfDlg>(
        DialogServices{boxes_, shell_, resources_, icons_, table_});
    window_ = std::make_unique<KavDialogWindow>(*dialog_);
    window_->Initialise();
    window_->show();
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    window_.reset();
    dialog_.reset();
  }
  QLineEdit* Edit() { return static_cast<QLineEdit*>(window_->Control(IDC_COMMUNITY)); }

  TempMachine machine_;
  FakeBoxes boxes_;
  FakeShell shell_;
  QtResources resources_;
  ControllerTable table_;
  HICON icons_[1] = {nullptr};
  std::unique_ptr<CKavSnmpConfDlg> dialog_;
  std::unique_ptr<KavDialogWindow> window_;
};

TEST_F(TrayQtWindow, ControlsSitWhereTheirDialogUnitsSay) {
  const DialogTemplate& tpl = SettingsDialogTemplate();
  EXPECT_EQ(window_->windowTitle().toStdString(), "Kavor SNMP Configuration Tool V1.0");
  DialogBaseUnits units = window_->BaseUnits();
  EXPECT_GT(units.x, 3);
  EXPECT_GT(units.y, 8);
  RECT whole = MapDialogRect(0, 0, tpl.width, tpl.height, units);
  EXPECT_EQ(window_->width(), whole.Width());
  EXPECT_EQ(window_->height(), whole.Height());
  for (const DialogControl& control : tpl.controls) {
    if (control.id < 0) continue;
    SCOPED_TRACE(control.id);
    QWidget* widget = window_->Control(control.id);
    ASSERT_NE(widget, nullptr);
    RECT r = MapDialogRect(control.x, control.y, control.width, control.height, units);
    EXPECT_EQ(widget->geometry(), QRect(r.left, r.top, r.Width(), r.Height()));
  }
  EXPECT_EQ(static_cast<QRadioButton*>(window_->Control(1008))->text().toStdString(),
            "Serious Error Notification");
  EXPECT_TRUE(static_cast<QRadioButton*>(window_->Control(1008))->isChecked());
  EXPECT_EQ(Edit()->text().toStdString(), "public");
  EXPECT_EQ(Edit()->maxLength(), 255);
  EXPECT_TRUE(static_cast<QPushButton*>(window_->Control(IDOK))->isDefault());
  EXPECT_FALSE(window_->Control(IDCANCEL)->isVisible());
  EXPECT_TRUE(window_->ListensForMessages());
}

TEST_F(TrayQtWindow, TheBannerIsDrawnWithItsCornersShowingTheBackground) {
  ASSERT_NE(dialog_->BannerBitmap(), nullptr);
  EXPECT_EQ(dialog_->BannerBitmap()->Width(), 550);
  EXPECT_EQ(dialog_->BannerBitmap()->Height(), 39);
  QImage shown = window_->Control(IDC_PICTURE)->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QColor face = window_->palette().color(QPalette::Window);
  EXPECT_EQ(QColor(shown.pixel(0, 0)), face);  // the banner's own corner is transparent
  EXPECT_NE(QColor(shown.pixel(120, 18)), face);
  for (int y = 0; y < shown.height(); ++y) {
    for (int x = 0; x < shown.width(); ++x) {
      ASSERT_NE(shown.pixel(x, y), qRgb(255, 0, 255)) << x << "," << y;
    }
  }
}

TEST_F(TrayQtWindow, EnterInTheCommunitySavesAndTheWindowStays) {
  Edit()->setFocus();
  Edit()->setText(QStringLiteral("private"));
  boxes_.answers = {IDYES};
  QTest::keyClick(Edit(), Qt::Key_Return);
  ASSERT_EQ(boxes_.asked.size(), 1u);
  EXPECT_EQ(boxes_.asked[0].text, "Save the changes?");
  EXPECT_NE(machine_.ReadIni().find("Community=private\n"), std::string::npos);
  EXPECT_FALSE(window_->Ended());
  EXPECT_TRUE(window_->isVisible());
}

TEST_F(TrayQtWindow, EscapeEndsTheDialogAsCancelled) {
  static_cast<QRadioButton*>(window_->Control(1011))->setFocus();
  QTest::keyClick(window_->Control(1011), Qt::Key_Escape);
  EXPECT_TRUE(window_->Ended());
  EXPECT_EQ(window_->Result(), IDCANCEL);
  EXPECT_TRUE(boxes_.asked.empty());
}

TEST_F(TrayQtWindow, TheCloseBoxHidesBehindOneIconAndADoubleClickRestores) {
  window_->close();
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(shell_.present, 1);
  EXPECT_EQ(shell_.last.hWnd, window_->GetSafeHwnd());
  window_->PostMessage(WM_TRAY_NOTIFY, 0, WM_LBUTTONDBLCLK);  // as the tray delivers it
  QCoreApplication::processEvents();
  EXPECT_TRUE(window_->isVisible());
  window_->close();
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(shell_.present, 1);
  EXPECT_EQ(shell_.calls.size(), 1u);
}

TEST_F(TrayQtWindow, AnotherProgramHidesTheWindowWithMessage32869) {
  QProcess sender;
  QEventLoop wait;
  QObject::connect(&sender, &QProcess::finished, &wait, &QEventLoop::quit);
  QTimer::singleShot(10000, &wait, &QEventLoop::quit);
  sender.start(QStringLiteral(KAVWINMSG_PATH),
               {QStringLiteral("Kavor SNMP Configuration Tool V1.0"), QStringLiteral("32869")});
  wait.exec();
  EXPECT_EQ(sender.exitCode(), 0) << sender.readAllStandardError().toStdString();
  EXPECT_EQ(sender.readAllStandardOutput().trimmed().toStdString(), "1");
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(shell_.calls.empty());  // hidden without an icon
}

// Runs a program to its end while this process's event loop keeps turning.
QString RunToEnd(const QString& program, const QStringList& arguments, int* exit_code) {
  QProcess process;
  QEventLoop wait;
  QObject::connect(&process, &QProcess::finished, &wait, &QEventLoop::quit);
  QTimer::singleShot(10000, &wait, &QEventLoop::quit);
  process.start(program, arguments);
  wait.exec();
  *exit_code = process.state() == QProcess::NotRunning ? process.exitCode() : -1;
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

TEST(TrayProgram, RunsUntilEscapeAndObeysMessagesFromOtherPrograms) {
  TempMachine machine;
  QProcess tool;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  tool.setProcessEnvironment(env);
  tool.start(QStringLiteral(KAVSNMPCONF_PATH), {});
  ASSERT_TRUE(tool.waitForStarted(10000));
  const auto endpoint = machine.root / "windows/Kavor%20SNMP%20Configuration%20Tool%20V1.0";
  for (int i = 0; i < 200 && !std::filesystem::exists(endpoint); ++i) QTest::qWait(50);
  ASSERT_TRUE(std::filesystem::exists(endpoint)) << "the window never listened";

  const QString title = QStringLiteral("Kavor SNMP Configuration Tool V1.0");
  const QString sender = QStringLiteral(KAVWINMSG_PATH);
  int code = -1;
  EXPECT_EQ(RunToEnd(sender, {title, QStringLiteral("32869")}, &code).toStdString(), "1");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(RunToEnd(sender, {title, QStringLiteral("274"), QStringLiteral("61536")}, &code)
                .toStdString(),
            "0");  // the close box
  // Escape: WM_COMMAND IDCANCEL ends the program.
  RunToEnd(sender, {title, QStringLiteral("273"), QStringLiteral("2")}, &code);
  // The tool may have ended while the sender ran.
  ASSERT_TRUE(tool.state() == QProcess::NotRunning || tool.waitForFinished(10000));
  EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
  EXPECT_FALSE(std::filesystem::exists(endpoint));
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
