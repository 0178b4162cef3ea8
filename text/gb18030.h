#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The forum's pages decoded as GB18030, the superset of GB2312 and GBK that browsers use for
// all three labels. Qt has this decoder only when it was built with ICU, which some Windows
// builds are not; the platform's own decoder stands in then. Bytes that form no character
// become U+FFFD.
QString decodeGb18030(const QByteArray& bytes);

// The platform's decoder alone: code page 54936 on Windows, iconv elsewhere. No value when the
// platform has none.
std::optional<QString> decodeGb18030WithPlatform(const QByteArray& bytes);
