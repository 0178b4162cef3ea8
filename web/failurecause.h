#pragma once

#include "transfer.h"

#include <QString>

#include <curl/curl.h>

// Why a transfer failed, in a few words for a person ("HTTP 404", "超时", "连接被重置"): shown
// beside a failure, never in place of its line.

// Of a request that got no usable answer, from libcurl's code and its own words (`detail`, which
// may be empty).
QString transportFailure(CURLcode code, const char* detail);

// Of a transfer that ended as `kind` with `status`, when nothing more precise is known. Empty for
// a whole 200.
QString outcomeFailure(TransferOutcome::Kind kind, int status);
