#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QUrl>

#include <array>
#include <memory>
#include <tuple>

class BodyDecoder;
class QEventLoop;
class QFile;
class TransferEngine;

// Transfers waiting for a free slot start in this order, smallest first; a run numbers them the
// way one-at-a-time would make them, so the request it needs next is always the next to go.
using TransferOrder = std::array<qint64, 4>;

// What became of one GET, redirects followed.
struct TransferOutcome
{
    enum class Kind
    {
        Complete,    // a final answer came in full
        Failed,      // no usable answer: a transport failure, a bad redirect, a body too large
        NotFinished, // still running when the time limit passed, or never startable
        CannotOpen,  // the file for the body could not be made
        CannotWrite, // the disk refused the body
    };
    Kind kind = Kind::NotFinished;
    int status = 0;
    QByteArray body; // the body of a 200 answer when it went to memory
    qint64 bodyBytes = 0;
};

// One GET made by the engine, into memory or into a file beside its target. The object that
// holds it owns it: dropping it stops the transfer and removes a file that was not taken over.
class Transfer
{
  public:
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    bool isFinished() const { return m_finished; }
    // Runs the event loop until the transfer has finished; window events are handled meanwhile.
    void wait();
    // Whether this transfer goes before `other` when both wait for a slot.
    bool startsBefore(const Transfer& other) const
    {
        return std::tie(m_order, m_sequence) < std::tie(other.m_order, other.m_sequence);
    }
    // Whether the transfer's time limit has passed since it started (never, before it has).
    bool isPastDeadline() const { return m_deadline.hasExpired(); }
    const TransferOutcome& outcome() const { return m_outcome; }

    // The file the body went to (the target with ".part" added), while it is still ours.
    const QString& partPath() const { return m_partPath; }
    // The caller has moved the file to its place: it is no longer removed with the transfer.
    void releasePart();

  private:
    friend class TransferEngine;
    friend struct CurlCallbacks;
    Transfer(TransferEngine& engine, QUrl url, double seconds, QString target, TransferOrder order);

    bool toFile() const { return !m_target.isEmpty(); }
    void finish(TransferOutcome outcome);
    void dropPart();
    bool hasBegunBody() const { return m_decoder != nullptr; }
    // The body of a 200 answer begins, packed as `contentEncoding` and `transferEncoding` say,
    // `announced` bytes long on the wire (-1 when not said).
    void beginBody(const QByteArray& contentEncoding, const QByteArray& transferEncoding,
                   qint64 announced);
    // Takes bytes of the answer now in progress; false stops the transfer.
    bool take(const char* data, qint64 size, int status);
    // Keeps unpacked bytes of a 200 answer's body.
    bool store(const char* data, qint64 size);
    // Whether the body of the answer came to the end its coding promised.
    bool bodyIsWhole() const;
    // Ready for the next hop of a redirect.
    void restartAt(const QUrl& url);

    TransferEngine& m_engine;
    const QUrl m_firstUrl;
    QUrl m_url;
    const double m_seconds;
    const QString m_target;
    const TransferOrder m_order;
    const quint64 m_sequence;

    QDeadlineTimer m_deadline{QDeadlineTimer::Forever}; // set when the transfer starts
    int m_redirects = 0;
    void* m_handle = nullptr; // the libcurl easy handle while the transfer runs
    std::unique_ptr<QFile> m_file;
    QString m_partPath;
    TransferOutcome m_outcome;
    std::unique_ptr<BodyDecoder> m_decoder;
    qint64 m_redirectBodyBytes = 0;
    bool m_stoppedAtStatus = false;
    bool m_writeFailed = false;
    bool m_finished = false;
    QEventLoop* m_waiting = nullptr;
    bool* m_destroyedWhileWaiting = nullptr;
};

bool isRedirectStatus(int status);
