#pragma once

#include <atomic>

#include "plugkit/aax/sdk/AAXInterfaces.h"
#include "plugkit/client/ClientTypes.h"

namespace plugkit::aax {

// The plug-in's command interface to an AAX host: editor gestures become touch, set-value and
// release requests on the host's automation delegate, under the parameter's identifier (its
// index in decimal). Without a delegate the gestures are dropped.
class AAXHostCommand final : public client::IHostCommand {
public:
    // [host thread] The delegate that receives the requests (not owned; null drops them).
    void setAutomationDelegate(sdk::IAutomationDelegate* delegate) {
        delegate_.store(delegate, std::memory_order_release);
    }

    // [editor thread]
    void beginParamEdit(int paramIndex) override;
    void paramAutomate(int paramIndex, float normalized) override;
    void endParamEdit(int paramIndex) override;
    // [editor thread] The host sizes the view itself: always false.
    bool requestResize(int width, int height) override;
    // [any thread] protools.
    client::DAW getDAW() override;

    // [any thread] Writes the decimal identifier of a parameter index into buffer (16 bytes).
    static void formatParamID(int paramIndex, char (&buffer)[16]);

private:
    std::atomic<sdk::IAutomationDelegate*> delegate_{nullptr};
};

}  // namespace plugkit::aax
