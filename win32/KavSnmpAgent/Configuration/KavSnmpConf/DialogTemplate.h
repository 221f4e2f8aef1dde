// Dialog template 102: the settings window's title, size, font and controls in
// dialog units, and the conversion of dialog units to pixels from the dialog
// font, done the way the window system does it.
#pragma once

#include <span>

#include "WinUi.h"

enum class ControlKind { kPicture, kGroupBox, kStaticText, kEdit, kRadioButton, kDefaultButton, kButton };

struct DialogControl {
  int id;  // -1 for controls without an identifier
  ControlKind kind;
  const char* text;
  int x, y, width, height;  // dialog units
};

struct DialogTemplate {
  const char* title;
  int width, height;  // dialog units
  const char* font_face;
  int font_points;
  std::span<const DialogControl> controls;
};

const DialogTemplate& SettingsDialogTemplate();

// Dialog base units of a font: the average width of the 52 letters A-Z a-z
// (from the pixel width of the whole alphabet) and the font's height.
struct DialogBaseUnits {
  int x;
  int y;
};
DialogBaseUnits BaseUnitsFromFont(int alphabet_width, int text_height);

// a * b / c rounded to the nearest integer, halves away from zero; c must not be 0.
int MulDiv(int a, int b, int c);

// A rectangle in dialog units (x, y, width, height) in pixels: x and width in
// quarters of the base width, y and height in eighths of the base height.
RECT MapDialogRect(int x, int y, int width, int height, DialogBaseUnits units);
