#pragma once

#include <QString>

// `path` as the system's own calls take it at any length. On Windows: absolute and clean as
// Windows makes a plain path, and in the extended form (\\?\, \\?\UNC\ for a share) when it is
// too long for a plain Windows call (260 characters or more), or whenever `extended`; a path in
// that form already, or a device's (\\.\), as it is. Elsewhere `path` itself.
QString systemPath(const QString& path, bool extended = false);

// On Windows `path` with each short name in it ("ADMINI~1") spelled out, as its folders are
// listed; `path` itself when it is not there, and elsewhere.
QString longNamesOf(const QString& path);
