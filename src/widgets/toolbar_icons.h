#pragma once

#include <QIcon>

namespace quadtherm::widgets {

// The toolbar's image list, drawn as vectors so it stays sharp at any size and
// device pixel ratio. Indices 1, 2, 3, 4, 5, 11, 12, 13, 14, 16, 17, 18 and 19
// are images; any other index gives a null QIcon.
QIcon toolbarImage(int imageIndex);

} // namespace quadtherm::widgets
