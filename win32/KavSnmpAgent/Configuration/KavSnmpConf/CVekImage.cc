// Drawing of the tray tool's pictures into pixel surfaces.
#include "CVekImage.h"

#include <algorithm>

namespace {

int Luminance(COLORREF c) {
  return (30 * GetRValue(c) + 59 * GetGValue(c) + 11 * GetBValue(c)) / 100;
}

}  // namespace

CVekImage::~CVekImage() { Release(); }

void CVekImage::Release() {
  if ((m_nKind & kDestroy) != 0 && m_hImage != nullptr) {
    if ((m_nKind & kIcon) != 0) {
      delete static_cast<VekIcon*>(m_hImage);
    } else {
      delete static_cast<PixelSurface*>(m_hImage);
    }
  }
  m_hImage = nullptr;
  m_nKind = 0;
  m_nWidth = 0;
  m_nHeight = 0;
}

int CVekImage::SetImage(void* handle, unsigned kind) {
  unsigned what = kind & (kIcon | kBitmap);
  if (what != kIcon && what != kBitmap) return 0;
  if (handle == m_hImage && handle != nullptr) {
    m_nKind = kind;  // same picture, new ownership
    return 1;
  }
  Release();
  if (handle == nullptr) return 1;
  m_hImage = handle;
  m_nKind = kind;
  if (what == kBitmap) {
    const PixelSurface* bitmap = static_cast<const PixelSurface*>(handle);
    m_nWidth = bitmap->Width();
    m_nHeight = bitmap->Height();
  } else {
    const VekIcon* icon = static_cast<const VekIcon*>(handle);
    m_nWidth = icon->mask.Width();
    m_nHeight = icon->has_colour ? icon->mask.Height() : icon->mask.Height() / 2;
  }
  return 1;
}

void CVekImage::SetEmbossColours(COLORREF highlight, COLORREF shadow) {
  m_crHighlight = highlight;
  m_crShadow = shadow;
}

bool CVekImage::SourcePixel(int x, int y, COLORREF* colour) const {
  if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) return false;
  if ((m_nKind & kBitmap) != 0) {
    *colour = static_cast<const PixelSurface*>(m_hImage)->GetPixel(x, y);
    return true;
  }
  const VekIcon* icon = static_cast<const VekIcon*>(m_hImage);
  if (icon->mask.GetPixel(x, y) == RGB(255, 255, 255)) return false;
  *colour = icon->has_colour ? icon->colour.GetPixel(x, y) : icon->mask.GetPixel(x, y + m_nHeight);
  return true;
}

void CVekImage::Draw(PixelSurface& dc, const RECT& rect, unsigned flags) {
  m_nFlags = flags;
  if (m_hImage == nullptr || m_nWidth <= 0 || m_nHeight <= 0) return;
  const bool transparent = (flags & kDrawTransparent) != 0;
  if (transparent && m_crTransparent == kColourUnset && (m_nKind & kBitmap) != 0) {
    SourcePixel(0, 0, &m_crTransparent);
  }

  // Where the image lands and how large.
  int out_width = m_nWidth;
  int out_height = m_nHeight;
  if ((flags & kDrawStretch) != 0) {
    out_width = rect.Width();
    out_height = rect.Height();
  }
  int origin_x = rect.left;
  int origin_y = rect.top;
  if ((flags & kDrawCentre) != 0 && (flags & kDrawStretch) == 0) {
    origin_x += (rect.Width() - out_width) / 2;
    origin_y += (rect.Height() - out_height) / 2;
  }
  if (out_width <= 0 || out_height <= 0) return;

  const int clip_left = std::max<int>({rect.left, 0, origin_x});
  const int clip_top = std::max<int>({rect.top, 0, origin_y});
  const int clip_right = std::min<int>({rect.right, dc.Width(), origin_x + out_width});
  const int clip_bottom = std::min<int>({rect.bottom, dc.Height(), origin_y + out_height});

  // The image pixel under a destination pixel, after the transparent test.
  auto visible = [&](int x, int y, COLORREF* colour) {
    long sx = x - origin_x;
    long sy = y - origin_y;
    if ((flags & kDrawStretch) != 0) {
      sx = sx * m_nWidth / out_width;
      sy = sy * m_nHeight / out_height;
    }
    if (!SourcePixel(static_cast<int>(sx), static_cast<int>(sy), colour)) return false;
    return !(transparent && *colour == m_crTransparent);
  };

  if ((flags & kDrawEmbossed) != 0) {
    // The dark parts of the picture, raised: a highlight one pixel down and to
    // the right, the shadow on top of it.
    for (int pass = 0; pass < 2; ++pass) {
      const int shift = pass == 0 ? 1 : 0;
      const COLORREF ink = pass == 0 ? m_crHighlight : m_crShadow;
      for (int y = clip_top; y < clip_bottom; ++y) {
        for (int x = clip_left; x < clip_right; ++x) {
          COLORREF colour;
          if (!visible(x, y, &colour) || Luminance(colour) >= 192) continue;
          if (x + shift < clip_right && y + shift < clip_bottom) dc.SetPixel(x + shift, y + shift, ink);
        }
      }
    }
    return;
  }

  for (int y = clip_top; y < clip_bottom; ++y) {
    for (int x = clip_left; x < clip_right; ++x) {
      COLORREF colour;
      if (!visible(x, y, &colour)) continue;
      if ((flags & kDrawGrey) != 0) {
        int grey = Luminance(colour);
        colour = RGB(grey, grey, grey);
      }
      dc.SetPixel(x, y, colour);
    }
  }
}
