#pragma once

#include "timelimits.h"
#include "transfer.h"

#include <QString>

#include <memory>

class TransferEngine;

// The outcome of saving one picture. Callers test it against Ok; the run also tells the
// failures that concern the file (CannotOpen, CannotReplace) from those of the fetch.
enum class SaveError : qint32
{
    Ok = 0,
    FetchFailed = 1, // an answer other than 200, or the transport failed
    TimedOut = 2,    // no complete answer within the time limit
    EmptyBody = 3,   // 200 with nothing in it: an empty file is not a picture
    CannotOpen = 4,  // the folder is missing, the name refused, no access
    CannotWrite = 5, // the disk refused the bytes
    CannotReplace = 6,
    DiskFull = 7,    // no room left on the disk or in the quota: later pictures fail alike
    NotAPicture = 8, // a 200 whose bytes are no picture, or a JPEG cut short
};

// One picture on its way to its file. The bytes stream into a working file beside `tpm` as they
// arrive; once it has finished, finish() moves that file over `tpm` when the answer was whole and
// sound. Started early, several download at once while their callers finish them in order.
class PictureSave
{
  public:
    PictureSave(TransferEngine& network, const QString& url, const QString& tpm, double seconds,
                TransferOrder order = {});

    bool isFinished() const { return m_transfer->isFinished(); }
    // Puts the finished picture in place. A failed save leaves whatever was at `tpm` as it was.
    SaveError finish();
    const TransferOutcome& outcome() const { return m_transfer->outcome(); }
    // The picture's bytes, all in its file once finish() gave Ok.
    qint64 bytes() const;
    // Why finish() gave `error`, for a person: "HTTP 404", "超时", …; empty for Ok.
    QString cause(SaveError error) const;

  private:
    std::unique_ptr<Transfer> m_transfer;
};
