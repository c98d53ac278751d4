#include "forms/Layout.h"

#include "presentation/TrialScreen.h"

namespace kpx::forms {

std::optional<Rgb> fixedColor(TaskColor color)
{
    switch (color) {
    case TaskColor::Green:
        return Green;
    case TaskColor::White:
        return White;
    case TaskColor::Black:
        return Black;
    case TaskColor::ButtonFace:
        break;
    }
    return std::nullopt;
}

} // namespace kpx::forms
