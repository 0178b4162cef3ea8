#pragma once

#include "fetchresult.h"
#include "httpclient.h"

// Fetches `Weburl` with an HTTP GET and waits at most `chaoshi` seconds for the whole answer.
// While it waits, the pending window events run (a handler may run inside the wait); it
// never reports an error other than through its result.
FetchResult GetBody(HttpClient& network, const QString& Weburl, double chaoshi);
