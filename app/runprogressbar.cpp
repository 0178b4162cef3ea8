#include "runprogressbar.h"

#include <algorithm>

RunProgressBar::RunProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setRange(0, 1);
    setValue(0);
    setFormat(QString());
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void RunProgressBar::runStarted()
{
    m_count = ProgressCount();
    m_clock.start();
    refresh(0, true);
}

void RunProgressBar::refresh(double serverWait, bool running)
{
    // While the listing is read the number of albums is unknown: the bar only says it is busy.
    const auto albums = static_cast<int>(m_count.albums());
    setRange(0, albums > 0 || !running ? std::max(albums, 1) : 0);
    setValue(static_cast<int>(m_count.albumsDone()));
    const qint64 elapsed = m_clock.isValid() ? m_clock.elapsed() : 0;
    m_count.sample(elapsed);
    setFormat(m_count.text(elapsed, serverWait));
}
