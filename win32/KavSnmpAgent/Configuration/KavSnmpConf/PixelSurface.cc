// Bounds-checked pixel storage for the tray tool's drawing.
#include "PixelSurface.h"

#include <algorithm>

PixelSurface::PixelSurface(int width, int height, COLORREF fill) {
  if (width <= 0 || height <= 0) return;
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
}

COLORREF PixelSurface::GetPixel(int x, int y) const {
  if (!Contains(x, y)) return 0;
  return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

void PixelSurface::SetPixel(int x, int y, COLORREF colour) {
  if (!Contains(x, y)) return;
  pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = colour;
}

void PixelSurface::FillRect(const RECT& rect, COLORREF colour) {
  int left = std::max<LONG>(rect.left, 0);
  int top = std::max<LONG>(rect.top, 0);
  int right = std::min<LONG>(rect.right, width_);
  int bottom = std::min<LONG>(rect.bottom, height_);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) SetPixel(x, y, colour);
  }
}
