#pragma once

#include <QString>

// `folder` and `name` joined with the platform's separator; a folder that already ends with
// one (the root of a drive) gets no second one.
QString joinPath(const QString& folder, const QString& name);

// The folder of forum `name` in `outputFolder`: the name made a safe folder name.
QString forumFolderIn(const QString& outputFolder, const QString& name);

// Creates `path` as a directory when nothing exists there yet. True when a directory is
// there afterwards.
bool ensureFolder(const QString& path);
