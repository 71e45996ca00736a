// The words the sample's text table gives the input layer's key names, so
// that the options' rows show "Left Ctrl" and "Esc" where the layer names
// its codes QVI_LCTRL and QVI_ESC.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sample {

// (the layer's name, its word): every named key, the mouse's buttons and
// wheel, the buttons of a joystick, and the keys the layer names by their
// number or by a character that is not the one on the key.
const std::vector<std::pair<std::string, std::string>> &KeyWords();

} // namespace sample
