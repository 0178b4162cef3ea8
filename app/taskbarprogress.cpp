#include "taskbarprogress.h"

#include <QWidget>

#if defined(Q_OS_WIN)
#include <shobjidl.h>
#include <windows.h>
#elif defined(VARNOLT_DBUS)
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>
#endif

namespace {

#if defined(Q_OS_WIN)
// The shell's taskbar, asked for on each change: a taskbar restarted meanwhile (Explorer crashed)
// is found again.
template <typename Change> void onTaskbar(QWidget& window, Change change)
{
    ITaskbarList3* taskbar = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&taskbar))))
        return;
    if (SUCCEEDED(taskbar->HrInit()))
        change(taskbar, reinterpret_cast<HWND>(window.winId()));
    taskbar->Release();
}
#elif defined(VARNOLT_DBUS)
// The launcher API: a signal on the session bus naming the program's menu entry.
void sendToDock(double progress, bool visible)
{
    QDBusMessage update = QDBusMessage::createSignal(
        QStringLiteral("/io/varnolt/Varnolt"), QStringLiteral("com.canonical.Unity.LauncherEntry"),
        QStringLiteral("Update"));
    update << QStringLiteral("application://varnolt.desktop")
           << QVariantMap{{QStringLiteral("progress"), progress},
                          {QStringLiteral("progress-visible"), visible}};
    QDBusConnection::sessionBus().send(update);
}
#endif

} // namespace

void TaskbarProgress::show(int done, int total)
{
#if defined(Q_OS_WIN)
    onTaskbar(m_window, [done, total](ITaskbarList3* taskbar, HWND window) {
        if (total <= 0) {
            taskbar->SetProgressState(window, TBPF_INDETERMINATE);
            return;
        }
        taskbar->SetProgressState(window, TBPF_NORMAL);
        taskbar->SetProgressValue(window, ULONGLONG(done), ULONGLONG(total));
    });
#elif defined(VARNOLT_DBUS)
    sendToDock(total > 0 ? double(done) / total : 0.0, true);
#else
    Q_UNUSED(done);
    Q_UNUSED(total);
#endif
}

void TaskbarProgress::clear()
{
#if defined(Q_OS_WIN)
    onTaskbar(m_window, [](ITaskbarList3* taskbar, HWND window) {
        taskbar->SetProgressState(window, TBPF_NOPROGRESS);
    });
#elif defined(VARNOLT_DBUS)
    sendToDock(0, false);
#endif
}
