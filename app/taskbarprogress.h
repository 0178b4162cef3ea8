#pragma once

class QWidget;

// The run's progress on the window's taskbar button (Windows) or dock entry (Linux desktops
// that take the launcher API: KDE, Ubuntu's dock, GNOME's dash-to-dock): the same fraction as the
// window's bar. Where the platform has no such place, nothing happens.
class TaskbarProgress
{
  public:
    explicit TaskbarProgress(QWidget& window) : m_window(window) {}

    // `done` of `total` (a total of 0 for "busy, how far unknown").
    void show(int done, int total);
    // No progress shown any more.
    void clear();

  private:
    QWidget& m_window;
};
