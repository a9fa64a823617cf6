#pragma once

#include <QImage>

#include <memory>
#include <string>

#include "platform/Canvas.h"

namespace tkan {

// A picture for the Qt canvas.
class QtImage : public CanvasImage {
public:
    explicit QtImage(QImage picture) : image(std::move(picture)) {}

    int Width() const override { return image.width(); }
    int Height() const override { return image.height(); }

    QImage image;
};

// The picture in the file at `path` (a bitmap, or any image format Qt
// reads); null when the file is missing or holds no picture.
std::unique_ptr<QtImage> LoadImageFile(const std::string& path);

}  // namespace tkan
