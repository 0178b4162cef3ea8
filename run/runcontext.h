#pragma once

#include "albumselection.h"
#include "web/serviceroots.h"
#include "web/timelimits.h"

#include <QString>

class FailureLists;
struct RunTally;

// The time limits of a run's fetches; tests make them short.
struct TimeLimits
{
    double page = pageTimeLimitSeconds;
    double picture = pictureTimeLimitSeconds;
};

class TransferEngine;
class RunWindow;

// What every action of a run works with. The references outlive the action.
struct RunContext
{
    RunWindow& window;
    TransferEngine& network;
    QString programFolder;
    ServiceRoots roots;
    FailureLists& failures;
    RunTally& tally;
    TimeLimits limits;
    AlbumSelection albums; // the albums of the listing a run takes
};
