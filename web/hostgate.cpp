#include "hostgate.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <memory>

HostGate::HostGate(int transfers, double rate, Clock clock)
    : m_transfers(transfers),
      m_spacingMs(rate > 0 ? static_cast<qint64>(std::llround(1000.0 / rate)) : 0),
      m_clock(std::move(clock))
{
    if (!m_clock) {
        auto started = std::make_shared<QElapsedTimer>();
        started->start();
        m_clock = [started] { return started->elapsed(); };
    }
}

HostGate::Host& HostGate::host(const QString& name)
{
    auto found = m_hosts.find(name);
    if (found == m_hosts.end()) {
        found = m_hosts.insert(name, Host());
        found->limit = m_transfers;
    }
    return *found;
}

qint64 HostGate::waitFor(const QString& name) const
{
    const auto found = m_hosts.constFind(name);
    if (found == m_hosts.cend())
        return 0;
    const qint64 now = m_clock();
    const qint64 until = std::max(found->pausedUntil, found->nextStart);
    if (until > now)
        return until - now;
    return found->running < found->limit ? 0 : -1;
}

void HostGate::started(const QString& name)
{
    Host& entry = host(name);
    ++entry.running;
    if (m_spacingMs > 0)
        entry.nextStart = m_clock() + m_spacingMs;
}

void HostGate::ended(const QString& name)
{
    Host& entry = host(name);
    entry.running = std::max(0, entry.running - 1);
}

void HostGate::answered(const QString& name, bool tooMany)
{
    Host& entry = host(name);
    if (tooMany) {
        // One burst of refusals, answers to requests sent before the host paused, halves once.
        if (entry.pausedUntil > m_clock())
            return;
        entry.limit = std::max(1, entry.limit / 2);
        entry.calmAnswers = 0;
        return;
    }
    if (entry.limit < m_transfers && ++entry.calmAnswers >= calmAnswersToGrow) {
        ++entry.limit;
        entry.calmAnswers = 0;
    }
}

void HostGate::pause(const QString& name, qint64 milliseconds)
{
    Host& entry = host(name);
    entry.pausedUntil = std::max(entry.pausedUntil, m_clock() + milliseconds);
}

qint64 HostGate::longestPause() const
{
    const qint64 now = m_clock();
    qint64 longest = 0;
    for (const Host& entry : m_hosts)
        longest = std::max(longest, entry.pausedUntil - now);
    return longest;
}

int HostGate::limitAt(const QString& name) const
{
    const auto found = m_hosts.constFind(name);
    return found == m_hosts.cend() ? m_transfers : found->limit;
}
