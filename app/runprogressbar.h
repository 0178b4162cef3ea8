#pragma once

#include "progresscount.h"

#include <QElapsedTimer>
#include <QProgressBar>

// The bar under the window's list: how many of the run's albums are done, and in its text the
// pictures saved, failed and skipped, the speed and the time left, as the terminal's status
// line says them.
class RunProgressBar : public QProgressBar
{
  public:
    explicit RunProgressBar(QWidget* parent);

    // A run begins: the count starts again from nothing.
    void runStarted();
    // What the bar counts, told as the run reports it; refresh() shows it.
    ProgressCount& count() { return m_count; }
    // Shows the count as it is now, while a server has asked for a wait of `serverWait`
    // seconds (0 for none); `running` while the run or a retry is under way.
    void refresh(double serverWait, bool running);

  private:
    ProgressCount m_count;
    QElapsedTimer m_clock;
};
