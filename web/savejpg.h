#pragma once

#include <QtGlobal>

class HttpClient;
class QString;

// The outcome of saving one picture; callers only test it against Ok.
enum class SaveError : qint32
{
    Ok = 0,
    FetchFailed = 1, // an answer other than 200, or the transport failed
    TimedOut = 2,    // no complete answer within the time limit
    EmptyBody = 3,   // 200 with nothing in it: an empty file is not a picture
    CannotOpen = 4,  // the folder is missing, the name refused, no access
    CannotWrite = 5, // the disk refused the bytes
    CannotReplace = 6,
};

// Fetches the picture at `url` (10 seconds at most) and stores its bytes at `tpm`. The file
// appears whole or not at all: an existing file is replaced only when the new one is complete.
SaveError SaveJpg(HttpClient& network, const QString& url, const QString& tpm);
