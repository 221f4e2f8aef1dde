// CVekImage: draws one icon or bitmap into a pixel surface, unscaled at the
// top-left of a rectangle and clipped to it, optionally leaving out a
// transparent colour, stretched, centred, embossed or in grey.
#pragma once

#include "PixelSurface.h"

// An icon as the window system keeps it: an AND mask (white = transparent) and
// an optional colour bitmap. Without a colour bitmap the mask holds the AND half
// above the XOR half, so the icon is half as tall as its mask.
struct VekIcon {
  PixelSurface mask;
  PixelSurface colour;
  bool has_colour = false;
};

class CVekImage {
 public:
  // Kinds of the handle given to SetImage.
  static constexpr unsigned kIcon = 1;
  static constexpr unsigned kBitmap = 2;
  static constexpr unsigned kDestroy = 4;  // the image deletes the handle
  // Draw flags.
  static constexpr unsigned kDrawTransparent = 16;
  static constexpr unsigned kDrawStretch = 32;
  static constexpr unsigned kDrawCentre = 64;
  static constexpr unsigned kDrawEmbossed = 128;
  static constexpr unsigned kDrawGrey = 256;
  static constexpr COLORREF kColourUnset = 0xFF000000u;

  CVekImage() = default;
  CVekImage(const CVekImage&) = delete;
  CVekImage& operator=(const CVekImage&) = delete;
  virtual ~CVekImage();

  // handle is a VekIcon* (kind 1) or a PixelSurface* (kind 2), plus kDestroy
  // when the image is to own it. A kind naming both or neither of icon and
  // bitmap is refused (0); otherwise 1. Replacing an owned handle deletes it; a
  // null handle clears the image.
  int SetImage(void* handle, unsigned kind);

  // Draws into `dc` within `rect` (clipped to it and to the surface).
  void Draw(PixelSurface& dc, const RECT& rect, unsigned flags);

  int Width() const { return m_nWidth; }
  int Height() const { return m_nHeight; }
  COLORREF TransparentColour() const { return m_crTransparent; }
  void SetTransparentColour(COLORREF colour) { m_crTransparent = colour; }
  unsigned LastFlags() const { return m_nFlags; }
  // The system highlight and shadow colours of embossed drawing.
  void SetEmbossColours(COLORREF highlight, COLORREF shadow);

 private:
  void Release();
  // The image's pixel at (x, y); false where an icon's mask leaves it out.
  bool SourcePixel(int x, int y, COLORREF* colour) const;

  void* m_hImage = nullptr;
  unsigned m_nKind = 0;
  int m_nWidth = 0;
  int m_nHeight = 0;
  COLORREF m_crTransparent = kColourUnset;
  unsigned m_nFlags = 0;
  COLORREF m_crHighlight = RGB(255, 255, 255);
  COLORREF m_crShadow = RGB(128, 128, 128);
};
