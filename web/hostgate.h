#pragma once

#include <QHash>
#include <QString>

#include <deque>
#include <functional>

// How fast the program may go at one host (scheme, name and port): a host that asked it to wait
// gets no new request until the wait has passed; after a 429 fewer requests run there at once,
// and more again as answers come without one; with a rate set, request starts are spaced. A
// 429 without a wait named also sets the host a rate of its own, below what it was answering
// cleanly, which grows back slowly while its answers stay clean: the requests a second converge
// on what the host allows.
class HostGate
{
  public:
    // Milliseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;

    // `transfers`: the most at once at any host; `rate`: request starts a second at one host,
    // 0 for no pacing.
    HostGate(int transfers, double rate, Clock clock = {});

    // 0 when a request to `host` may start now; otherwise the milliseconds until it may, or -1
    // when that waits for one of the host's running requests to end.
    qint64 waitFor(const QString& host) const;
    void started(const QString& host);
    void ended(const QString& host);
    // An answer came from `host`; `tooMany` when it said 429.
    void answered(const QString& host, bool tooMany);
    // `host` refused a request started at `startedAt` with a 429 that named no wait: its rate
    // drops, once for the requests of one burst.
    void slowDown(const QString& host, qint64 startedAt);
    // How long every answer of `host` has been a 429, in milliseconds; 0 while they are not.
    qint64 refusingFor(const QString& host) const;
    // The requests a second `host` is paced to; 0 when it is not.
    double rateAt(const QString& host) const;
    qint64 now() const { return m_clock(); }
    // No new request starts at `host` for `milliseconds`.
    void pause(const QString& host, qint64 milliseconds);
    // The longest pause still running at any host, in milliseconds.
    qint64 longestPause() const;
    int limitAt(const QString& host) const;

    // Answers without a 429 after which a host gets one more request at once.
    static constexpr int calmAnswersToGrow = 20;
    // After a 429 a host's rate is this share of what it answered cleanly in the last second,
    static constexpr double rateKeptAfterRefusal = 0.7;
    // and grows by this many requests a second every second its answers stay clean.
    static constexpr double rateGrowthPerSecond = 3;
    static constexpr double leastRate = 0.5;

  private:
    struct Host
    {
        int running = 0;
        int limit = 0;
        int calmAnswers = 0;
        qint64 pausedUntil = 0;
        qint64 nextStart = 0;
        double rate = 0; // of its own, since its first 429 without a wait named
        qint64 slowedAt = -1;
        qint64 firstStart = -1;
        std::deque<qint64> cleanAnswers; // when, within the last second
        qint64 refusingSince = -1;
    };
    Host& host(const QString& name);
    qint64 spacingAt(const Host& host) const;

    const int m_transfers;
    const qint64 m_spacingMs;
    Clock m_clock;
    QHash<QString, Host> m_hosts;
};
