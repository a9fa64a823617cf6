#include "platform/Prompter.h"

namespace tkan {

const char* MessageCaption(MessageStyle style)
{
    switch (style) {
    case MessageStyle::Warning: return "Warning";
    case MessageStyle::Brennix: return "Brennix";
    case MessageStyle::Tkan: break;
    }
    return "TKAN";
}

}  // namespace tkan
