#pragma once

#include "web/serviceroots.h"

#include <QString>

class FailureLists;

// How long a fetch may take, in seconds, from its start to its last byte.
struct TimeLimits
{
    double page = 5;
    double picture = 10;
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
    TimeLimits limits;
};
