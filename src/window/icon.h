// The window's icon, drawn by the program itself: a database drum with a
// chain link, 16 colours. The window carries the 32 x 32 and 16 x 16 images;
// the build also draws 48 to 256 px ones for the desktop's menus.
#pragma once

#include <QIcon>
#include <QImage>

namespace povezava::window {

// One image of the icon, `size` pixels square: every opaque pixel has one
// of the 16 colours of the standard VGA palette, the rest is transparent.
QImage iconImage(int size);

// Both images (32 and 16) as one icon.
QIcon makeWindowIcon();

}  // namespace povezava::window
