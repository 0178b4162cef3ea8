#pragma once

#include <QString>

#include <optional>

// What the last run came to, counted where it happens, for a front end that sums it up (the
// command line's summary line and exit status). A retry moves what it saves from failed to
// saved.
struct RunTally
{
    int saved = 0;         // pictures in place
    int failed = 0;        // pictures that could not be saved
    int skipped = 0;       // pictures an update found saved already (none without one)
    int missing = 0;       // listing or album pages not fetched, the run file or a folder not made
    qsizetype albums = 0;  // the albums the forum's listing named
    QString forumFolder;   // where the run puts its pictures, with the platform's separators
    bool diskFull = false; // the run stopped for want of room on the disk
    bool recordUnusable = false; // the forum's record could not be read or written
    // A dry run saves, fails and skips nothing: it counts the pictures the albums link, and
    // with an update those the record does not hold.
    bool dryRun = false;
    int pictures = 0;
    std::optional<int> fresh;
};
