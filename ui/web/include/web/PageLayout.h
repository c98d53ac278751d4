#pragma once

#include <string>

namespace kpx::web {

// The four windows as the page draws them in a viewport of that many CSS pixels (96 to the inch):
// each by the display fit rule, its controls' places, fonts (points, scaled with the fit) and texts,
// as JSON. The setup form's questions and the completion message are among the texts.
std::string pageLayoutJson(int viewportWidth, int viewportHeight);

} // namespace kpx::web
