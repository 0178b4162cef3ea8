#pragma once

class QScrollBar;

// Keeps `bar` at its end as the range grows while it shows the end, and leaves it alone while
// the user has scrolled away from it. The view lays out new lines at its next turn of the event
// loop, so this follows the range rather than the appends: one scroll per turn, not per line.
void followEnd(QScrollBar* bar);
