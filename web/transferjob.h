#pragma once

#include "bodydecoder.h"
#include "transfer.h"
#include "workingfile.h"

#include <QDeadlineTimer>
#include <QString>
#include <QUrl>

#include <curl/curl.h>

#include <memory>
#include <optional>
#include <tuple>

class EngineCore;

// Every value of the last answer's headers called `name`, in order.
QList<QByteArray> answerHeaders(CURL* easy, const char* name);

// Everything of one transfer while it lives: its addresses, its libcurl handle while a request is
// out, the body as it arrives, and what became of it. The engine drives it; the Transfer that
// owns it only reads it.
class TransferJob
{
  public:
    TransferJob(EngineCore& engine, QUrl url, double seconds, QString target, TransferOrder order,
                quint64 sequence, WorkingNames& names);
    TransferJob(const TransferJob&) = delete;
    TransferJob& operator=(const TransferJob&) = delete;

    bool toFile() const { return file != nullptr; }
    // Whether this transfer goes before `other` when both wait for a slot.
    bool startsBefore(const TransferJob& other) const
    {
        return std::tie(order, sequence) < std::tie(other.order, other.sequence);
    }
    // The host the next or current request goes to: scheme, name and port.
    const QString& host() const { return m_host; }

    // Ready for another request: at `next` after a redirect, or at the same address again.
    void restartAt(const QUrl& next);
    // Bytes of the answer now in progress, from libcurl; false stops the transfer.
    bool take(const char* data, qint64 size);
    // Bytes of the answer have come, its head's or its body's: the time limit starts again.
    void heard() { deadline.setRemainingTime(fullBudgetMs(), Qt::PreciseTimer); }
    // Whether the body of the answer came to the end its coding promised.
    bool bodyIsWhole() const { return !m_decoder || m_decoder->isComplete(); }
    // Of the body's first and last bytes: with its length, what tells one answer from another.
    quint32 checksum() const;
    // Whether a body streamed into a file starts and ends as a picture file does.
    bool bodyIsWholePicture(bool lengthSaid) const;

    EngineCore& engine;
    const QUrl firstUrl;
    QUrl url;
    const double seconds;
    const TransferOrder order;
    const quint64 sequence;

    CURL* handle = nullptr;            // while a request is out
    std::unique_ptr<WorkingFile> file; // for a download
    qint64 budgetMs; // what is left of the time limit when the next request starts
    // The whole time limit, which a request starts with.
    qint64 fullBudgetMs() const { return static_cast<qint64>(seconds * 1000.0); }
    QDeadlineTimer deadline{QDeadlineTimer::Forever}; // set when a request starts
    int redirects = 0;
    int resends = 0;              // sent again: a server asked to wait, or answered out of step
    qint64 startedAtMs = 0;       // on the host gate's clock, when its last request started
    int refusals = 0;             // 429s that named no wait
    double waitedSeconds = 0;     // all the waits servers asked of this request
    bool freshConnection = false; // its next request goes over a connection made for it
    bool bodyRefused = false;     // a body of it came not whole, and it was asked for again
    bool ownConnection = false;   // its request's connection carries no other
    std::optional<bool> firstHopInternal; // whether the first request went to an internal address
    bool addressRefused = false;
    bool stoppedAtStatus = false;
    bool writeFailed = false;
    char curlError[CURL_ERROR_SIZE] = {}; // libcurl's own words for its last failure
    QString failure;                      // why it fails, when known before it is finished
    TransferOutcome outcome;
    bool finished = false;

  private:
    void beginBody();
    bool store(const char* data, qint64 size);

    static QString hostOf(const QUrl& url);

    QString m_host; // of `url`, asked for at every look for a free slot
    std::unique_ptr<BodyDecoder> m_decoder;
    qint64 m_redirectBodyBytes = 0;
    static constexpr qint64 checkedBytes = 4 * 1024;
    QByteArray m_head; // the first checkedBytes of a body streamed into a file
    QByteArray m_tail; // and its last
};
