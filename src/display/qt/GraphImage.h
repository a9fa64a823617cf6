#pragma once

#include <QImage>
#include <QSize>

#include <span>

namespace tkan {

class CAppInfo;
class CDisplayTest;
class TestRecord;

// The graph as the view draws it, in an image of its own: for the
// clipboard and for mailing. The renderer's zoom and modes are used as
// they are; it is let go of the image afterwards.
QImage RenderGraphImage(CDisplayTest& renderer, const CAppInfo& settings, const TestRecord& main,
                        std::span<const TestRecord* const> overlays, QSize size);

}  // namespace tkan
