#pragma once

#include <QByteArray>
#include <QStringList>

class QSettings;

// What the window remembers between sessions, kept where the platform keeps a program's
// settings. A value that cannot be what it claims to be (a damaged file, a hand edit) reads as
// never remembered.
class WindowSettings
{
  public:
    static constexpr int recentForumCount = 10;

    explicit WindowSettings(QSettings& store) : m_store(store) {}

    // The window's size and place, as QWidget::saveGeometry() gives them.
    QByteArray geometry() const;
    void setGeometry(const QByteArray& geometry);
    // The forums most recently downloaded, the latest first.
    QStringList recentForums() const;
    void addRecentForum(const QString& name);
    // Whether the window's runs fetch only what the record does not hold.
    bool onlyNew() const;
    void setOnlyNew(bool onlyNew);
    // The folder chosen for the pictures; empty when none was.
    QString outputFolder() const;
    void setOutputFolder(const QString& folder);

  private:
    QSettings& m_store;
};
