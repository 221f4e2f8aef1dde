// CVekImage on small pixel surfaces, and the dialog-unit conversion the
// window's layout uses.
#include <gtest/gtest.h>

#include "CVekImage.h"
#include "DialogTemplate.h"

namespace {

constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr COLORREF kBack = RGB(1, 2, 3);

// A 3 x 2 picture: key colour in the top-left and bottom-right corners.
PixelSurface Picture() {
  PixelSurface p(3, 2);
  const COLORREF pixels[2][3] = {{kKey, RGB(200, 100, 50), RGB(0, 0, 255)},
                                 {RGB(255, 255, 255), RGB(10, 20, 30), kKey}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) p.SetPixel(x, y, pixels[y][x]);
  }
  return p;
}

RECT Rect(int l, int t, int r, int b) {
  RECT rect;
  rect.left = l;
  rect.top = t;
  rect.right = r;
  rect.bottom = b;
  return rect;
}

TEST(VekImage, TransparentDrawingTakesTheKeyFromTheTopLeftPixel) {
  PixelSurface picture = Picture();
  CVekImage image;
  ASSERT_EQ(image.SetImage(&picture, CVekImage::kBitmap), 1);
  EXPECT_EQ(image.TransparentColour(), CVekImage::kColourUnset);
  PixelSurface dc(5, 4, kBack);
  image.Draw(dc, Rect(1, 1, 5, 4), CVekImage::kDrawTransparent);
  EXPECT_EQ(image.TransparentColour(), kKey);
  EXPECT_EQ(image.LastFlags(), CVekImage::kDrawTransparent);
  EXPECT_EQ(dc.GetPixel(1, 1), kBack);  // key colour: background shows
  EXPECT_EQ(dc.GetPixel(2, 1), RGB(200, 100, 50));
  EXPECT_EQ(dc.GetPixel(3, 1), RGB(0, 0, 255));
  EXPECT_EQ(dc.GetPixel(1, 2), RGB(255, 255, 255));
  EXPECT_EQ(dc.GetPixel(3, 2), kBack);
  EXPECT_EQ(dc.GetPixel(4, 1), kBack);  // nothing beyond the picture
  EXPECT_EQ(dc.GetPixel(0, 0), kBack);  // nothing outside the rectangle

  // Without the flag every pixel is drawn.
  PixelSurface plain(3, 2, kBack);
  image.Draw(plain, Rect(0, 0, 3, 2), 0);
  EXPECT_EQ(plain.GetPixel(0, 0), kKey);
}

TEST(VekImage, DrawsClippedToTheRectangleAndTheSurface) {
  PixelSurface picture = Picture();
  CVekImage image;
  image.SetImage(&picture, CVekImage::kBitmap);
  PixelSurface dc(4, 4, kBack);
  image.Draw(dc, Rect(0, 0, 2, 1), 0);  // smaller than the picture
  EXPECT_EQ(dc.GetPixel(1, 0), RGB(200, 100, 50));
  EXPECT_EQ(dc.GetPixel(2, 0), kBack);
  EXPECT_EQ(dc.GetPixel(0, 1), kBack);
  PixelSurface tiny(2, 1, kBack);
  image.Draw(tiny, Rect(-1, -1, 10, 10), 0);  // reaching past every edge
  EXPECT_EQ(tiny.GetPixel(0, 0), RGB(10, 20, 30));
  EXPECT_EQ(tiny.GetPixel(1, 0), kKey);
}

TEST(VekImage, GreyUsesTheLuminanceWeights) {
  PixelSurface picture = Picture();
  CVekImage image;
  image.SetImage(&picture, CVekImage::kBitmap);
  PixelSurface dc(3, 2, kBack);
  image.Draw(dc, Rect(0, 0, 3, 2), CVekImage::kDrawGrey | CVekImage::kDrawTransparent);
  auto grey = [](int v) { return RGB(v, v, v); };
  EXPECT_EQ(dc.GetPixel(1, 0), grey((30 * 200 + 59 * 100 + 11 * 50) / 100));  // 124
  EXPECT_EQ(dc.GetPixel(2, 0), grey(11 * 255 / 100));                          // 28
  EXPECT_EQ(dc.GetPixel(1, 1), grey((30 * 10 + 59 * 20 + 11 * 30) / 100));     // 18
  EXPECT_EQ(dc.GetPixel(0, 0), kBack);  // transparency still applies
}

TEST(VekImage, StretchAndCentrePlaceThePicture) {
  PixelSurface picture = Picture();
  CVekImage image;
  image.SetImage(&picture, CVekImage::kBitmap);
  PixelSurface stretched(6, 4, kBack);
  image.Draw(stretched, Rect(0, 0, 6, 4), CVekImage::kDrawStretch);
  EXPECT_EQ(stretched.GetPixel(5, 3), kKey);
  EXPECT_EQ(stretched.GetPixel(3, 0), RGB(200, 100, 50));
  PixelSurface centred(7, 4, kBack);
  image.Draw(centred, Rect(0, 0, 7, 4), CVekImage::kDrawCentre);
  EXPECT_EQ(centred.GetPixel(2, 1), kKey);
  EXPECT_EQ(centred.GetPixel(1, 1), kBack);
}

TEST(VekImage, KindsAreCheckedAndOwnedHandlesAreDeleted) {
  PixelSurface picture = Picture();
  CVekImage image;
  EXPECT_EQ(image.SetImage(&picture, CVekImage::kIcon | CVekImage::kBitmap), 0);
  EXPECT_EQ(image.SetImage(&picture, CVekImage::kDestroy), 0);
  EXPECT_EQ(image.Width(), 0);
  // Owned pictures go with the image or when replaced (the sanitizers would
  // report a leak or a double delete).
  ASSERT_EQ(image.SetImage(new PixelSurface(Picture()), CVekImage::kBitmap | CVekImage::kDestroy), 1);
  auto* icon = new VekIcon;
  icon->mask = PixelSurface(4, 8, RGB(0, 0, 0));  // monochrome: AND over XOR
  ASSERT_EQ(image.SetImage(icon, CVekImage::kIcon | CVekImage::kDestroy), 1);
  EXPECT_EQ(image.Width(), 4);
  EXPECT_EQ(image.Height(), 4);
  VekIcon coloured;
  coloured.mask = PixelSurface(2, 2, RGB(0, 0, 0));
  coloured.mask.SetPixel(0, 0, RGB(255, 255, 255));  // left out
  coloured.colour = PixelSurface(2, 2, RGB(9, 9, 9));
  coloured.has_colour = true;
  ASSERT_EQ(image.SetImage(&coloured, CVekImage::kIcon), 1);
  EXPECT_EQ(image.Height(), 2);
  PixelSurface dc(2, 2, kBack);
  image.Draw(dc, Rect(0, 0, 2, 2), 0);
  EXPECT_EQ(dc.GetPixel(0, 0), kBack);
  EXPECT_EQ(dc.GetPixel(1, 1), RGB(9, 9, 9));
}

TEST(TrayDialogUnits, ConvertLikeTheWindowSystem) {
  EXPECT_EQ(BaseUnitsFromFont(312, 13).x, 6);  // 52 letters of 6 pixels
  EXPECT_EQ(BaseUnitsFromFont(338, 13).x, 7);  // 6.5 rounds up
  EXPECT_EQ(MulDiv(7, 6, 4), 11);              // 10.5 rounds away from zero
  EXPECT_EQ(MulDiv(-7, 6, 4), -11);
  const DialogBaseUnits units{6, 13};
  struct {
    int x, y, w, h;
    RECT px;
  } cases[] = {
      {7, 6, 277, 27, Rect(11, 10, 426, 54)},     // the picture control
      {234, 247, 50, 16, Rect(351, 401, 426, 427)},  // "&Save"
      {0, 0, 291, 270, Rect(0, 0, 437, 439)},     // the whole dialog
  };
  for (const auto& c : cases) {
    RECT r = MapDialogRect(c.x, c.y, c.w, c.h, units);
    EXPECT_EQ(r.left, c.px.left);
    EXPECT_EQ(r.top, c.px.top);
    EXPECT_EQ(r.right, c.px.right);
    EXPECT_EQ(r.bottom, c.px.bottom);
  }
  const DialogTemplate& tpl = SettingsDialogTemplate();
  EXPECT_STREQ(tpl.title, "Kavor SNMP Configuration Tool V1.0");
  EXPECT_EQ(tpl.controls.size(), 17u);
}

}  // namespace
