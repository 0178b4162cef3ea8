#pragma once

#include "runcontext.h"

#include <QString>
#include <QStringList>

#include <optional>

// One page of a forum's album listing, as read.
struct ListingPage
{
    QStringList albums; // their addresses, in order of position
    int pageCount = 1;  // as its last-page link names it
};

// Reads the listing page at `address`. No value when it could not be had, or when
// `mustListAlbums` and it lists none (a verification or maintenance page answered in its place):
// that is said, so that a forum that could not be reached does not read as one without albums,
// counted, and remembered for the retry.
std::optional<ListingPage> readListingPage(RunContext& context, const QString& address,
                                           bool mustListAlbums);
