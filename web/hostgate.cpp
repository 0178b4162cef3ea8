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

qint64 HostGate::spacingAt(const Host& entry) const
{
    const qint64 own = entry.rate > 0 ? static_cast<qint64>(std::llround(1000.0 / entry.rate)) : 0;
    return std::max(m_spacingMs, own);
}

void HostGate::started(const QString& name)
{
    Host& entry = host(name);
    ++entry.running;
    const qint64 now = m_clock();
    if (entry.firstStart < 0)
        entry.firstStart = now;
    if (const qint64 spacing = spacingAt(entry))
        entry.nextStart = std::max(entry.nextStart, now) + spacing;
}

void HostGate::ended(const QString& name)
{
    Host& entry = host(name);
    entry.running = std::max(0, entry.running - 1);
}

void HostGate::answered(const QString& name, bool tooMany)
{
    Host& entry = host(name);
    const qint64 now = m_clock();
    if (tooMany && entry.refusingSince < 0)
        entry.refusingSince = now;
    if (!tooMany) {
        entry.refusingSince = -1;
        entry.cleanAnswers.push_back(now);
        while (entry.cleanAnswers.front() <= now - 1000)
            entry.cleanAnswers.pop_front();
        // One request a second more every second: each answer adds its share of that.
        if (entry.rate > 0)
            entry.rate += rateGrowthPerSecond / entry.rate;
    }
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

void HostGate::slowDown(const QString& name, qint64 startedAt)
{
    Host& entry = host(name);
    // Refusals of requests started before the last slowing down say nothing new.
    if (startedAt < entry.slowedAt)
        return;
    const qint64 now = m_clock();
    entry.slowedAt = now;
    while (!entry.cleanAnswers.empty() && entry.cleanAnswers.front() <= now - 1000)
        entry.cleanAnswers.pop_front();
    // What the host answered cleanly over the last second (over its first moments, early on),
    // one answer more, so that a first refusal that comes before any clean answer is no zero.
    const qint64 span = std::clamp<qint64>(now - entry.firstStart, 50, 1000);
    const double answered =
        static_cast<double>(entry.cleanAnswers.size() + 1) * 1000.0 / static_cast<double>(span);
    const double from = entry.rate > 0 ? std::min(entry.rate, answered) : answered;
    entry.rate = std::max(leastRate, from * rateKeptAfterRefusal);
    // The next start waits its turn at the new rate.
    entry.nextStart = std::max(entry.nextStart, now + spacingAt(entry));
}

qint64 HostGate::refusingFor(const QString& name) const
{
    const auto found = m_hosts.constFind(name);
    if (found == m_hosts.cend() || found->refusingSince < 0)
        return 0;
    return m_clock() - found->refusingSince;
}

double HostGate::rateAt(const QString& name) const
{
    const auto found = m_hosts.constFind(name);
    return found == m_hosts.cend() ? 0 : found->rate;
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
