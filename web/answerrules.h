#pragma once

#include <QByteArray>
#include <QHostAddress>

#include <optional>

// Not empty, and nothing but the ASCII digits 0 to 9.
bool isDigits(const QByteArray& text);

// Whether the Content-Length values of one answer (every header of that name, in order) can be
// trusted: each is a string of digits, and all are the same string. An answer with none is
// framed otherwise and passes. Anything else is an answer whose end nobody can know.
bool contentLengthIsSound(const QList<QByteArray>& values);

// Whether a page whose answer did not say where it ends (no length, no chunks: its connection
// closed after it) shows its own end: "</html>" in any case, followed by blanks and comments
// alone. A page cut short by a dropped connection would otherwise pass for whole, and lose the
// links and the page count that stood after the cut.
bool pageShowsItsEnd(const QByteArray& body);

// Whether `address` is one of this machine or of a local network: loopback, private, link-local,
// unique local, unspecified, shared address space. A redirect from a server elsewhere must not
// reach such an address.
bool isInternalAddress(const QHostAddress& address);

// The seconds a Retry-After value asks for, counted from `nowSeconds` (seconds since the epoch):
// a number of seconds, or an HTTP date (a date already past asks for none). No value when it
// says neither.
std::optional<double> retryAfterSeconds(const QByteArray& value, qint64 nowSeconds);
