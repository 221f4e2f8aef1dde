// A bitmap in memory: the drawing surface of the banner (standing in for a
// memory device context with its selected bitmap) and the pixels of a picture.
// Every access is bounds checked; writes outside the surface are dropped.
#pragma once

#include <cstdint>
#include <vector>

#include "WinUi.h"

class PixelSurface {
 public:
  PixelSurface() = default;
  // A surface of width x height pixels of colour `fill`; negative sizes give
  // an empty surface.
  PixelSurface(int width, int height, COLORREF fill = 0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  // 0 outside the surface.
  COLORREF GetPixel(int x, int y) const;
  void SetPixel(int x, int y, COLORREF colour);
  // Fills [left, right) x [top, bottom), clipped to the surface.
  void FillRect(const RECT& rect, COLORREF colour);

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<COLORREF> pixels_;
};
