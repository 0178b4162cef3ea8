#pragma once

#include <QString>

struct RunTally;

// The line that sums up a run once it has ended, the same in the window and on the command line:
// what was saved, what failed, what was skipped, and the folder the pictures are in, named only
// when something was saved there.
QString closingLine(const RunTally& tally);
