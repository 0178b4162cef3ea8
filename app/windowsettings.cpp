#include "windowsettings.h"

#include <QSettings>

namespace {

const QString geometryKey = QStringLiteral("window/geometry");
const QString recentKey = QStringLiteral("recentForums");
const QString onlyNewKey = QStringLiteral("onlyNew");
const QString outputKey = QStringLiteral("outputFolder");

} // namespace

QByteArray WindowSettings::geometry() const
{
    const QVariant value = m_store.value(geometryKey);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

void WindowSettings::setGeometry(const QByteArray& geometry)
{
    m_store.setValue(geometryKey, geometry);
}

QStringList WindowSettings::recentForums() const
{
    QStringList names;
    for (const QString& name : m_store.value(recentKey).toStringList()) {
        // A forum's name is one short line.
        if (!name.trimmed().isEmpty() && name.size() <= 200 && !name.contains(QLatin1Char('\n')) &&
            !names.contains(name))
            names.append(name);
    }
    return names.mid(0, recentForumCount);
}

void WindowSettings::addRecentForum(const QString& name)
{
    QStringList names = recentForums();
    names.removeAll(name);
    names.prepend(name);
    m_store.setValue(recentKey, names.mid(0, recentForumCount));
}

bool WindowSettings::onlyNew() const
{
    // Only the two words written here count; QVariant would take any other text as true.
    return m_store.value(onlyNewKey).toString() == QLatin1String("true");
}

void WindowSettings::setOnlyNew(bool onlyNew)
{
    m_store.setValue(onlyNewKey, onlyNew ? QStringLiteral("true") : QStringLiteral("false"));
}

QString WindowSettings::outputFolder() const
{
    const QVariant value = m_store.value(outputKey);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

void WindowSettings::setOutputFolder(const QString& folder)
{
    m_store.setValue(outputKey, folder);
}
