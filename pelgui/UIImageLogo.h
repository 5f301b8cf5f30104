#pragma once

#include "pelgui/UIBitmap.h"

namespace pelgui {

// A UIBitmap that opens a web page in the system browser when clicked anywhere, with any button;
// the click is taken, so it never reaches the elements below.
class UIImageLogo : public UIBitmap {
public:
    // [editor thread] url is copied.
    UIImageLogo(plugkit::gui::UIContext* context,
                const plugkit::graphics::OwnedImage<plugkit::graphics::RGBA8>* image, const char* url);
    // [editor thread]
    ~UIImageLogo() override;

    // [editor thread] Starts the browser on url (without waiting for it) and returns true.
    bool onMouseClick(int x, int y, int button, bool isDoubleClick, plugkit::gui::MouseState mstate) override;

    const char* url() const { return url_; }

private:
    char* url_;
};

}  // namespace pelgui
