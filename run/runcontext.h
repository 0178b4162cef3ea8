#pragma once

#include "web/serviceroots.h"

#include <QString>

class FailureLists;
class HttpClient;
class RunWindow;

// What every action of a run works with. The references outlive the action.
struct RunContext
{
    RunWindow& window;
    HttpClient& network;
    QString programFolder;
    ServiceRoots roots;
    FailureLists& failures;
};
