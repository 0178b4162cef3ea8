#pragma once

#include <functional>

#include "albumselection.h"
#include "failedpictures.h"
#include "folders.h"
#include "runtally.h"
#include "web/serviceroots.h"
#include "web/timelimits.h"

#include <QString>
#include <QStringList>

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

class TransferEngine;
class RunObserver;

// What the actions of the window work with, and what they leave for each other: a run fills
// the failed pictures and the tally, the retry works through the one and corrects the other.
// The window and the network outlive the actions.
struct RunContext
{
    RunObserver& observer;
    TransferEngine& network;
    QString outputFolder;
    ServiceRoots roots;
    TimeLimits limits;
    AlbumSelection albums; // the albums of the listing a run takes
    bool update = false;   // runs leave out the pictures the record says are saved
    FailedPictures failedPictures;
    QStringList failedListingPages; // addresses the run could not have
    QStringList failedAlbums;       // addresses of albums one of whose pages it could not have
    RunTally tally;
    MadeFolders madeFolders; // of the run under way
    // Has the action under way advanced again after `milliseconds`, whatever transfers do.
    std::function<void(int milliseconds)> wakeIn;
};
