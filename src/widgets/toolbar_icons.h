#pragma once

#include <QIcon>

namespace quadtherm::widgets {

// The toolbar's image list, drawn as vectors so it stays sharp at any size and
// device pixel ratio. Indices 1, 2, 3, 4, 5, 11, 12, 13, 14, 16, 17, 18 and 19
// are images, and the child windows' below; any other index gives a null
// QIcon.
QIcon toolbarImage(int imageIndex);

// The child windows' images, drawn in the same hand, past the main toolbar's
// list.
inline constexpr int kImageSaveFile = 101;
inline constexpr int kImagePrint = 102;
inline constexpr int kImageHistogram = 103;
inline constexpr int kImageLimits = 104;
inline constexpr int kImageSaveImage = 105;

} // namespace quadtherm::widgets
