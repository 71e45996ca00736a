#include "platform/graphics.h"

#include <memory>
#include <new>

namespace {

std::unique_ptr<CQVGraphics>& GraphicsSlot() {
    static std::unique_ptr<CQVGraphics> graphics;
    return graphics;
}

} // namespace

int CreateGraphics() {
    auto& slot = GraphicsSlot();
    if (!slot) {
        slot.reset(new (std::nothrow) CQVGraphics());
    }
    return slot ? 1 : 0;
}

CQVGraphics* GetGraphics() { return GraphicsSlot().get(); }
