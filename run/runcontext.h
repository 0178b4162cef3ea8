#pragma once

#include "web/serviceroots.h"

#include <QString>

class FailureLists;
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
};
