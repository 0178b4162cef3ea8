#pragma once

#include "albumselection.h"
#include "failedpictures.h"
#include "runtally.h"
#include "web/serviceroots.h"
#include "web/timelimits.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <limits>

class RunObserver;
class TransferEngine;

// The time limits of a run's fetches; tests make them short.
struct TimeLimits
{
    double page = pageTimeLimitSeconds;
    double picture = pictureTimeLimitSeconds;
    // How long a record held by a second program on the same forum is waited for,
    double recordBusy = 5;
    // unless this says the program is to end.
    std::function<bool()> stopWaiting;
};

// What a run or a retry is given and does not change while it goes: where it reports, the
// network, where pages and pictures live, how long it waits for them, and how it has itself
// woken when it waits on something other than a transfer.
struct RunSetup
{
    RunObserver& observer;
    TransferEngine& network;
    ServiceRoots roots;
    TimeLimits limits;
    // Has the action under way advanced again after `milliseconds`, whatever transfers do.
    std::function<void(int milliseconds)> wakeIn;
    // Whether the action is to stop: a step it has taken asked for that (a closed output).
    std::function<bool()> stopAsked;
};

// What a run leaves for the retry and for whoever shows it: what failed, and the tally. The
// retry works through the failures and corrects the tally.
struct RunResults
{
    FailedPictures failedPictures;
    QStringList failedListingPages; // addresses the run could not have
    QStringList failedAlbums;       // addresses of albums one of whose pages it could not have
    RunTally tally;
    // For the listing pages the retry reads again: the albums the run took, and the listing's
    // shape as far as the run saw it, reset whole with each run.
    AlbumSelection chosen;
    struct ListingShape
    {
        // How many the first page lists, from which the positions of a later page's albums
        // follow.
        qsizetype albumsPerPage = 0;
        // How many pages it has, and how many positions it may have as far as it was had:
        // parts of the choice beyond them are said once.
        int pages = 0;
        qsizetype positions = std::numeric_limits<qsizetype>::max();
    } listing;
};

// What the window or the command line chose for one run.
struct RunChoices
{
    QString forumName;
    QString outputFolder;  // where the forum's folder goes
    AlbumSelection albums; // the albums of the listing the run takes
    bool update = false;   // the run leaves out the pictures the record says are saved
};
