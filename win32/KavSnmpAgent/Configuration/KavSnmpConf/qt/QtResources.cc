// Loading of the built-in pictures.
#include "QtResources.h"

#include "Resource.h"

PixelSurface SurfaceFromImage(const QImage& image) {
  QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  PixelSurface surface(rgb.width(), rgb.height());
  for (int y = 0; y < rgb.height(); ++y) {
    for (int x = 0; x < rgb.width(); ++x) {
      QRgb c = rgb.pixel(x, y);
      surface.SetPixel(x, y, RGB(qRed(c), qGreen(c), qBlue(c)));
    }
  }
  return surface;
}

QImage ImageFromSurface(const PixelSurface& surface) {
  QImage image(surface.Width(), surface.Height(), QImage::Format_RGB32);
  for (int y = 0; y < surface.Height(); ++y) {
    for (int x = 0; x < surface.Width(); ++x) {
      COLORREF c = surface.GetPixel(x, y);
      image.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
    }
  }
  return image;
}

HICON QtResources::LoadIcon(int id) {
  if (id != IDR_MAINFRAME) return nullptr;
  auto& icon = icons_[id];
  if (!icon) {
    icon = std::make_unique<QIcon>(QStringLiteral(":/kavsnmpconf/icon132.png"));
    if (icon->isNull()) return nullptr;
  }
  return icon.get();
}

std::unique_ptr<PixelSurface> QtResources::LoadBitmap(int id) {
  if (id != IDB_BANNER) return nullptr;
  QImage image(QStringLiteral(":/kavsnmpconf/banner155.bmp"));
  if (image.isNull()) return nullptr;
  return std::make_unique<PixelSurface>(SurfaceFromImage(image));
}
