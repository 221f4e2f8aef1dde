// Message boxes of the tool as Qt message boxes, captioned with the
// application's name.
#pragma once

#include "WinUi.h"

class QtMessageBoxes : public MessageBoxes {
 public:
  int MessageBox(const char* text, UINT type) override;
};
