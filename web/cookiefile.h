#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The cookies of a file in the Netscape format that browsers' export add-ons write: one cookie a
// line, seven fields apart by tabs (domain, subdomains too, path, https only, expiry, name,
// value), "#" for a comment, "#HttpOnly_" before a domain for a cookie scripts cannot read.
// Gives the cookie lines as they stand, for libcurl to take; no value, and which line is wrong
// in `problem`, when the file cannot be read or holds a line of another form.
std::optional<QList<QByteArray>> readCookieFile(const QString& path, QString* problem);
