#include "ui/controls/LayoutBuilderHook.h"

#include <utility>

namespace nk7x {
namespace {

ControlLayoutBuilder& Builder() {
    static ControlLayoutBuilder builder;
    return builder;
}

} // namespace

void SetControlLayoutBuilder(ControlLayoutBuilder builder) {
    Builder() = std::move(builder);
}

const ControlLayoutBuilder& GetControlLayoutBuilder() {
    return Builder();
}

} // namespace nk7x
