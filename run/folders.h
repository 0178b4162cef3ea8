#pragma once

#include <QString>
#include <QStringList>

// `folder` and `name` joined with the platform's separator; a folder that already ends with
// one (the root of a drive) gets no second one.
QString joinPath(const QString& folder, const QString& name);

// The folder of forum `name` in `outputFolder`: the name made a safe folder name.
QString forumFolderIn(const QString& outputFolder, const QString& name);

// `path` as the file system compares names: on Windows and macOS "5.JPG" is "5.jpg", and two
// titles that differ only in case are one folder.
QString sameFileKey(const QString& path);

// Creates `path` as a directory when nothing exists there yet. True when a directory is
// there afterwards; otherwise `problem`, when given, says why.
bool ensureFolder(const QString& path, QString* problem = nullptr);

// The album folders a run made. A run cut short (the window closed, the program interrupted)
// takes away those it left empty when it goes: a folder made for a picture fetched ahead must
// not stay behind empty for an album the run never reached. One that came to its end keeps them.
class MadeFolders
{
  public:
    MadeFolders() = default;
    MadeFolders(const MadeFolders&) = delete;
    MadeFolders& operator=(const MadeFolders&) = delete;
    ~MadeFolders() { removeEmpty(); }

    // As ensureFolder(), remembering the folder when it makes it.
    bool ensure(const QString& path);
    // The run has come to its end: its folders stay, empty or not.
    void keep() { m_made.clear(); }
    // Removes the remembered folders that hold nothing, and forgets them all.
    void removeEmpty();

  private:
    QStringList m_made;
};
