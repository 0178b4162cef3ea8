#pragma once

#include "fetchresult.h"

class TransferEngine;
struct TransferOutcome;

// Fetches `Weburl` with an HTTP GET: the whole answer must come within `chaoshi` seconds of the
// request's start (a request still waiting for a free transfer has not started).
// While it waits, the pending window events run (a handler may run inside the wait); it
// never reports an error other than through its result.
FetchResult GetBody(TransferEngine& network, const QString& Weburl, double chaoshi);

// The fetch result of a finished transfer. `late` says that the answer was taken only after
// the time limit had passed, which turns an answer other than 200 into the timeout text.
FetchResult fetchResultOf(const TransferOutcome& outcome, bool late = false);
