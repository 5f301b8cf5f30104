#include "plugkit/aax/AAXHostCommand.h"

#include <cstdio>

namespace plugkit::aax {

void AAXHostCommand::formatParamID(int paramIndex, char (&buffer)[16]) {
    std::snprintf(buffer, sizeof(buffer), "%d", paramIndex);
}

void AAXHostCommand::beginParamEdit(int paramIndex) {
    sdk::IAutomationDelegate* delegate = delegate_.load(std::memory_order_acquire);
    if (!delegate) return;
    char id[16];
    formatParamID(paramIndex, id);
    delegate->PostTouchRequest(id);
}

void AAXHostCommand::paramAutomate(int paramIndex, float normalized) {
    sdk::IAutomationDelegate* delegate = delegate_.load(std::memory_order_acquire);
    if (!delegate) return;
    char id[16];
    formatParamID(paramIndex, id);
    delegate->PostSetValueRequest(id, static_cast<double>(normalized));
}

void AAXHostCommand::endParamEdit(int paramIndex) {
    sdk::IAutomationDelegate* delegate = delegate_.load(std::memory_order_acquire);
    if (!delegate) return;
    char id[16];
    formatParamID(paramIndex, id);
    delegate->PostReleaseRequest(id);
}

bool AAXHostCommand::requestResize(int, int) { return false; }

client::DAW AAXHostCommand::getDAW() { return client::DAW::protools; }

}  // namespace plugkit::aax
