#pragma once

#include <QHash>
#include <QString>

#include <functional>

// How fast the program may go at one host (scheme, name and port): a host that asked it to wait
// gets no new request until the wait has passed; after a 429 fewer requests run there at once,
// and more again as answers come without one; with a rate set, request starts are spaced.
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
    // No new request starts at `host` for `milliseconds`.
    void pause(const QString& host, qint64 milliseconds);
    // The longest pause still running at any host, in milliseconds.
    qint64 longestPause() const;
    int limitAt(const QString& host) const;

    // Answers without a 429 after which a host gets one more request at once.
    static constexpr int calmAnswersToGrow = 20;

  private:
    struct Host
    {
        int running = 0;
        int limit = 0;
        int calmAnswers = 0;
        qint64 pausedUntil = 0;
        qint64 nextStart = 0;
    };
    Host& host(const QString& name);

    const int m_transfers;
    const qint64 m_spacingMs;
    Clock m_clock;
    QHash<QString, Host> m_hosts;
};
