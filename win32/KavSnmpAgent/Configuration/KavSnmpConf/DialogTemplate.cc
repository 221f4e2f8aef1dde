// The settings window's layout and the dialog-unit conversion.
#include "DialogTemplate.h"

#include <cstdlib>

#include "Resource.h"

namespace {

constexpr DialogControl kControls[] = {
    {IDC_PICTURE, ControlKind::kPicture, "", 7, 6, 277, 27},
    {-1, ControlKind::kGroupBox, "SNMP Community Configuration", 7, 40, 277, 38},
    {-1, ControlKind::kStaticText, "Community:", 16, 55, 42, 8},
    {IDC_COMMUNITY, ControlKind::kEdit, "", 57, 55, 227, 14},
    {-1, ControlKind::kGroupBox, "SNMP Trap Notification Configurations", 7, 98, 277, 132},
    {1007, ControlKind::kRadioButton, "Disable SNMP Trap", 18, 116, 79, 10},
    {1008, ControlKind::kRadioButton, "Serious Error Notification", 18, 136, 95, 10},
    {1009, ControlKind::kRadioButton, "Error Notification", 18, 157, 68, 10},
    {1010, ControlKind::kRadioButton, "Warning Notification", 18, 178, 80, 10},
    {1011, ControlKind::kRadioButton, "Information Notification", 18, 199, 91, 10},
    {-1, ControlKind::kStaticText, "No SNMP Trap Will Be Sent", 134, 117, 139, 8},
    {-1, ControlKind::kStaticText, "Send Only Serious Event", 134, 137, 139, 8},
    {-1, ControlKind::kStaticText, "Send Serious And Error Event", 134, 159, 104, 8},
    {-1, ControlKind::kStaticText, "Send Serious, Error And Warning Event", 134, 179, 138, 8},
    {-1, ControlKind::kStaticText, "Send All Event", 134, 201, 139, 8},
    {IDOK, ControlKind::kDefaultButton, "&Save", 234, 247, 50, 16},
    {IDCANCEL, ControlKind::kButton, "&Cancel", 174, 247, 50, 16},
};

constexpr DialogTemplate kTemplate = {kDialogTitle, 291, 270, "MS Shell Dlg", 8, kControls};

}  // namespace

const DialogTemplate& SettingsDialogTemplate() { return kTemplate; }

DialogBaseUnits BaseUnitsFromFont(int alphabet_width, int text_height) {
  return DialogBaseUnits{(alphabet_width / 26 + 1) / 2, text_height};
}

int MulDiv(int a, int b, int c) {
  long long product = static_cast<long long>(a) * b;
  long long half = std::llabs(static_cast<long long>(c)) / 2;
  bool negative = (product < 0) != (c < 0);
  long long magnitude = (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
  return static_cast<int>(negative ? -magnitude : magnitude);
}

RECT MapDialogRect(int x, int y, int width, int height, DialogBaseUnits units) {
  RECT r;
  r.left = MulDiv(x, units.x, 4);
  r.top = MulDiv(y, units.y, 8);
  r.right = MulDiv(x + width, units.x, 4);
  r.bottom = MulDiv(y + height, units.y, 8);
  return r;
}
