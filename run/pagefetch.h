#pragma once

#include "web/getbody.h"

#include <QString>

// A forum page as the run reads it: decoded as the forum's GB2312. `fetched` is false when no
// body came back; `text` is then empty, and `cause` says why.
struct Page
{
    QString text;
    bool fetched = false;
    QString cause;
};

// The page a finished request brought.
Page readPage(const PageRequest& request);
