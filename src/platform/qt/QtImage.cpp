#include "platform/qt/QtImage.h"

#include "platform/qt/QtText.h"

namespace tkan {

std::unique_ptr<QtImage> LoadImageFile(const std::string& path)
{
    if (path.empty())
        return nullptr;
    QImage image(FromPath(path));
    if (image.isNull())
        return nullptr;
    return std::make_unique<QtImage>(std::move(image));
}

}  // namespace tkan
