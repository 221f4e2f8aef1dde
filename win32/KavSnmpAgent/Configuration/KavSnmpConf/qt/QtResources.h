// The tool's pictures from its Qt resources: icon 132 as a QIcon handle and
// bitmap 155 as pixels; plus the conversions between pixel surfaces and QImage.
#pragma once

#include <QIcon>
#include <QImage>
#include <map>
#include <memory>

#include "DialogHost.h"
#include "PixelSurface.h"

PixelSurface SurfaceFromImage(const QImage& image);
QImage ImageFromSurface(const PixelSurface& surface);

class QtResources : public ResourceProvider {
 public:
  // An HICON of this provider is a QIcon*.
  HICON LoadIcon(int id) override;
  std::unique_ptr<PixelSurface> LoadBitmap(int id) override;

 private:
  std::map<int, std::unique_ptr<QIcon>> icons_;
};
