#pragma once

#include <QIcon>

// A window with a light-blue title bar, at 16 × 16 and 32 × 32 in colour and at 32 × 32 in
// two colours.
QIcon programIcon();
