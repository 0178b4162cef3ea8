#pragma once

#include <QIcon>
#include <QImage>

// Two photographs, one laid over the other: a picture album. The same drawing as
// icons/varnolt.svg, at the sizes desktops ask for.
QIcon programIcon();

// The drawing at `size` × `size` pixels.
QImage programIconImage(int size);

// The sizes the window and the Windows icon file hold.
inline constexpr int programIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
