#pragma once

#include "curlmulti.h"
#include "hostgate.h"
#include "transferengine.h"
#include "transferjob.h"
#include "workingfile.h"

#include <QSet>
#include <QTimer>

#include <optional>

// The inside of TransferEngine: the transfers waiting, running and done, the rules every answer
// is held to, and the hosts' gates.
class EngineCore
{
  public:
    EngineCore(TransferEngine& owner, EngineSettings settings);
    ~EngineCore();
    EngineCore(const EngineCore&) = delete;
    EngineCore& operator=(const EngineCore&) = delete;

    const EngineSettings& settings() const { return m_settings; }
    qint64 bodyLimit(bool toFile) const
    {
        return toFile ? m_settings.fileLimit : m_settings.pageLimit;
    }
    void trust(const QByteArray& pem) { m_extraTrust = pem; }
    double serverWaitSeconds() const;
    // The bytes of page bodies held in memory, arrived or arriving, by transfers not yet dropped.
    qint64 pageBytesHeld() const;
    int runningPages() const;
    // The page the run needs soonest, running or waiting: it may start whatever pages hold.
    const TransferJob* firstPage() const;

    std::unique_ptr<Transfer> enqueue(const QUrl& url, double seconds, const QString& target,
                                      TransferOrder order);
    // The transfer's owner drops it.
    void forget(TransferJob* job);
    void abandonAll();
    // While held, no waiting transfer starts.
    void holdStarts(bool hold);

    // libcurl has connected `job` to `address`: whether its request may go there.
    bool mayConnect(TransferJob& job, const char* address, int port);

  private:
    void startWaiting();
    // The deadline timer fires no later than `remainingMs` from now.
    void watchDeadline(qint64 remainingMs);
    // Ends the running transfers that have heard nothing within their time limit.
    void endOverdue();
    bool mustWait(const TransferJob* job) const;
    void begin(TransferJob* job);
    bool launch(TransferJob* job);
    bool configure(TransferJob* job);
    void stopRunning(TransferJob* job);
    void stopHandle(TransferJob* job);
    void reapFinished();
    void settle(TransferJob* job, CURLcode result);
    // A request that got no usable answer.
    void failUnanswered(TransferJob* job, CURLcode result, int status);
    // What to make of a whole answer: taken, waited on, sent again, followed or failed.
    void judgeAnswer(TransferJob* job, int status, bool http1);
    // Whether the 200 just come for `job` holds a whole picture; if not, it is asked for again
    // or failed.
    bool pictureIsWhole(TransferJob* job, bool http1);
    // A 200 whose body is not whole. Over HTTP/1 it is asked for once more over a new
    // connection, and so are the job's later requests; a second such body ends it as `kind`.
    void refuseBody(TransferJob* job, bool http1, TransferOutcome::Kind kind);
    // Whether the answer just come for `job` is a copy of an earlier one on its connection.
    bool answeredOutOfStep(TransferJob* job, int status, bool http1);
    bool overKeptConnection(TransferJob* job, bool http1);
    // What was read for `job` is not its answer: its connection goes, and it is asked for again.
    void resendOutOfStep(TransferJob* job, int status);
    void sendAgainOverANewConnection(TransferJob* job, int status);
    // `host` has sent what nobody asked for: its connections carry one request from now on.
    void markOutOfStep(const QString& host);
    // The seconds the answer just come for `job` asks to wait (Retry-After), when it names any.
    std::optional<double> namedWait(TransferJob* job) const;
    // A 429 that named no wait: the host's rate drops, and `job` waits its turn at that rate.
    void paceAfterRefusal(TransferJob* job);
    // The milliseconds a server asked `job` to wait, when that is a wait to obey.
    std::optional<qint64> obeyedWait(TransferJob* job, int status);
    // Back in line: after `pauseMs` at its host, on a fresh connection when `fresh`.
    void sendAgain(TransferJob* job, qint64 pauseMs, bool fresh);
    // Waits for another request at `url`, which starts with `budgetMs` of its time limit. With
    // `dropFile`, what an answer wrote into the file goes; a redirect's body never reaches it,
    // and the file stays open through the hops.
    void requeue(TransferJob* job, const QUrl& url, qint64 budgetMs, bool dropFile);
    // Goes on at the redirect's target, or tells how the transfer ends.
    std::optional<TransferOutcome::Kind> followRedirect(TransferJob* job);
    void finish(TransferJob* job, TransferOutcome::Kind kind, int status = 0);
    void announceSoon();

    TransferEngine& m_owner;
    EngineSettings m_settings;
    CurlMulti m_curl;
    HostGate m_gate;
    QTimer m_gateTimer;
    QTimer m_deadlineTimer; // for the running transfer whose deadline comes first
    CURLSH* m_share = nullptr;
    curl_slist* m_headers = nullptr;
    QList<TransferJob*> m_waiting;
    QList<TransferJob*> m_running;
    QList<TransferJob*> m_all;
    WorkingNames m_names;
    QSet<QString> m_singleUse; // hosts whose connections each carry one request
    QByteArray m_extraTrust;
    quint64 m_nextSequence = 0;
    bool m_announcing = false;
    bool m_abandoned = false;
    bool m_startsHeld = false;
    qint64 m_largestPage = 0; // of the pages that have come
};
