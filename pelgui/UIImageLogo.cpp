#include "pelgui/UIImageLogo.h"

#include <cstdlib>
#include <cstring>

#include "plugkit/core/BrowseURL.h"
#include "plugkit/core/Fatal.h"

namespace pelgui {

UIImageLogo::UIImageLogo(plugkit::gui::UIContext* context,
                         const plugkit::graphics::OwnedImage<plugkit::graphics::RGBA8>* image,
                         const char* url)
    : UIBitmap(context, image) {
    const char* text = url ? url : "";
    const std::size_t n = std::strlen(text);
    url_ = static_cast<char*>(std::malloc(n + 1));
    if (!url_) plugkit::core::outOfMemory();
    std::memcpy(url_, text, n + 1);
}

UIImageLogo::~UIImageLogo() { std::free(url_); }

bool UIImageLogo::onMouseClick(int, int, int, bool, plugkit::gui::MouseState) {
    plugkit::core::browseURL(url_);
    return true;
}

}  // namespace pelgui
