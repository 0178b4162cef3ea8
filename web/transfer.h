#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <memory>

class TransferJob;

// Transfers waiting for a free slot start in this order, smallest first; a run numbers them the
// way one-at-a-time would make them, so the request it needs next is always the next to go.
using TransferOrder = std::array<qint64, 4>;

// What became of one GET, redirects followed and waits a server asked for obeyed.
struct TransferOutcome
{
    enum class Kind
    {
        Complete,    // a final answer came in full
        Failed,      // no usable answer: a transport failure, a bad redirect, a body too large
        NotFinished, // still running when the time limit passed, or never startable
        CannotOpen,  // the file for the body could not be made
        CannotWrite, // the disk refused the body
        DiskFull,    // the disk, or the user's quota on it, had no room for the body
        NotAPicture, // a download's whole 200 answer that no picture file starts or ends as
    };
    Kind kind = Kind::NotFinished;
    int status = 0;
    QByteArray body; // the body of a 200 answer when it went to memory
    qint64 bodyBytes = 0;
    QString error; // why it failed, for a person: "HTTP 404", "超时"; empty for a whole 200
};

// One GET made by the engine, into memory or into a working file beside its target. The object
// that holds it owns it: dropping it stops the transfer and removes a working file that was not
// put in place.
class Transfer
{
  public:
    explicit Transfer(std::unique_ptr<TransferJob> job);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Once true, the engine's transferFinished() has been or is about to be sent for it.
    bool isFinished() const;
    const TransferOutcome& outcome() const;
    // Whether the time limit of its last request has passed by now (never, before it started).
    bool isPastDeadline() const;
    // A download whose answer was a whole 200: moves its working file over the target. False
    // when that could not be done; the target is then as it was.
    bool putInPlace();

  private:
    std::unique_ptr<TransferJob> m_job;
};

bool isRedirectStatus(int status);
