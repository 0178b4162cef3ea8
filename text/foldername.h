#pragma once

#include <QString>

// Turns a forum name or album title into one path component that stays inside its parent
// folder on every platform we ship to. A name that is already safe comes back unchanged.
// `suffix` (safe itself) ends the name and is never cut.
QString safeFolderName(const QString& name, const QString& suffix = QString());
