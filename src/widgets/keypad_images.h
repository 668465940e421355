#pragma once

#include <QIcon>

namespace quadtherm::widgets {

// The pictures on the meter's cursor keys.
enum class KeyPicture { Up, Left, Enter, Right, Down };

// Drawn as vectors like the toolbar images, so they stay sharp at any size
// and device pixel ratio.
QIcon keypadImage(KeyPicture picture);

} // namespace quadtherm::widgets
