#include "statusline.h"

#include "consoletext.h"
#include "helptext.h"

#include "web/transferengine.h"

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

StatusLine::StatusLine(std::FILE* terminal, const TransferEngine& network)
    : m_terminal(terminal), m_network(network)
{
    m_clock.start();
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &StatusLine::draw);
    m_timer.start();
}

StatusLine::~StatusLine()
{
    wipe();
}

bool StatusLine::isTerminal(std::FILE* file)
{
#ifdef Q_OS_WIN
    // A console that cannot take the escape sequences the line erases itself with (before
    // Windows 10) would show them; NUL, a character device, is no console at all.
    DWORD mode = 0;
    return _isatty(_fileno(file)) != 0 &&
           GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), &mode) &&
           (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
#else
    return isatty(fileno(file)) != 0;
#endif
}

void StatusLine::draw()
{
    m_count.sample(m_clock.elapsed());
    // Short of the last column, where some terminals would already wrap; asked each time, so a
    // resized terminal gets a line of its new width.
    const QString line = cutToWidth(m_count.text(m_clock.elapsed(), m_network.serverWaitSeconds()),
                                    terminalWidth(m_terminal) - 1);
    // Back to the line's start, the old line erased (a terminal's own "erase in line"; wide
    // characters make a count of spaces unreliable), then the new one.
    writeText(m_terminal, QStringLiteral("\r\x1b[K") + line);
    m_drawn = true;
}

void StatusLine::wipe()
{
    if (!m_drawn)
        return;
    std::fputs("\r\x1b[K", m_terminal);
    std::fflush(m_terminal);
    m_drawn = false;
}
