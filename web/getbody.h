#pragma once

#include "fetchresult.h"

class QNetworkAccessManager;

// Bodies beyond this are refused as failures: a generous bound for a picture, and what keeps
// a server that never stops sending from filling the memory.
constexpr qint64 maxBodyBytes = 64 * 1024 * 1024;

// Fetches `Weburl` with an HTTP GET and waits at most `chaoshi` seconds for the whole answer.
// While it waits, the pending window events run (a handler may run inside the wait); it
// never reports an error other than through its result.
FetchResult GetBody(QNetworkAccessManager& network, const QString& Weburl, double chaoshi);
