#pragma once

#include <QString>

struct RunTally;

// The line that sums up a run once it has ended, the same in the window and on the command line:
// what was saved, what failed, what was skipped, and the folder the pictures are in, named only
// when something was saved there.
QString closingLine(const RunTally& tally);

// What a dry run found, for the lines that sum it up: "共N张图片", and the new ones with an update.
QString picturesFound(const RunTally& tally);

// The line that stands in the closing line's place when the run was stopped: what it had come
// to by then.
QString stoppedLine(const RunTally& tally);
