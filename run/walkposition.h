#pragma once

#include "web/transfer.h"

#include <QtGlobal>

// A step of a run, in the order one transfer at a time takes them: an album's page, then each
// picture of that page, then the album's next page, then the next album.
struct WalkPosition
{
    qsizetype album = 1; // its place in the listing, from 1
    int page = 1;        // of the album, from 1
    int picture = 0;     // on that page, from 1; 0 is the page itself
};

// The engine serves waiting requests in this order: a picture's file after its page.
inline TransferOrder orderOf(const WalkPosition& at, int stage = 0)
{
    return {at.album, at.page, at.picture, stage};
}
