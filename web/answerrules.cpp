#include "answerrules.h"

#include <QList>

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <utility>

bool isDigits(const QByteArray& text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool contentLengthIsSound(const QList<QByteArray>& values)
{
    QByteArray first;
    for (const QByteArray& value : values) {
        // A list in one header ("12, 12") counts as that many values.
        for (const QByteArray& part : value.split(',')) {
            const QByteArray length = part.trimmed();
            if (!isDigits(length) || (!first.isEmpty() && length != first))
                return false;
            first = length;
        }
    }
    return true;
}

bool pageShowsItsEnd(const QByteArray& body)
{
    // Only blanks and comments may follow it: servers add a status or timing comment there.
    const QByteArray last = body.right(4096).toLower();
    const qsizetype end = last.lastIndexOf("</html>");
    if (end < 0)
        return false;
    for (qsizetype at = end + qsizetype(qstrlen("</html>")); at < last.size();) {
        if (QByteArrayView(" \t\r\n\f").contains(last.at(at))) {
            ++at;
        } else if (QByteArrayView(last).sliced(at).startsWith("<!--")) {
            const qsizetype closed = last.indexOf("-->", at + 4);
            if (closed < 0)
                return false;
            at = closed + 3;
        } else {
            return false;
        }
    }
    return true;
}

bool isInternalAddress(const QHostAddress& address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    QHostAddress plain = mapped ? QHostAddress(v4) : address;
    // IPv6 forms that carry an IPv4 address reach that address: IPv4-compatible, NAT64, 6to4.
    if (!mapped && plain.protocol() == QAbstractSocket::IPv6Protocol) {
        const Q_IPV6ADDR bytes = plain.toIPv6Address();
        const auto v4At = [&bytes](int at) {
            return QHostAddress(quint32(bytes[at]) << 24 | quint32(bytes[at + 1]) << 16 |
                                quint32(bytes[at + 2]) << 8 | quint32(bytes[at + 3]));
        };
        if (plain.isInSubnet(QHostAddress(QStringLiteral("64:ff9b::")), 96) ||
            (plain.isInSubnet(QHostAddress(QStringLiteral("::")), 96) &&
             plain != QHostAddress(QStringLiteral("::1"))))
            plain = v4At(12);
        else if (plain.isInSubnet(QHostAddress(QStringLiteral("2002::")), 16))
            plain = v4At(2);
    }
    // Besides the private, loopback and link-local ranges, the IETF's own (192.0.0.0/24) and the
    // old site-local IPv6. Not 198.18.0.0/15, where proxies that answer name lookups themselves
    // place public hosts, nor local-use NAT64, behind which public IPv4 hosts stand as well.
    static const std::array<std::pair<QHostAddress, int>, 13> internal{{
        {QHostAddress(QStringLiteral("0.0.0.0")), 8},
        {QHostAddress(QStringLiteral("10.0.0.0")), 8},
        {QHostAddress(QStringLiteral("100.64.0.0")), 10},
        {QHostAddress(QStringLiteral("127.0.0.0")), 8},
        {QHostAddress(QStringLiteral("169.254.0.0")), 16},
        {QHostAddress(QStringLiteral("172.16.0.0")), 12},
        {QHostAddress(QStringLiteral("192.0.0.0")), 24},
        {QHostAddress(QStringLiteral("192.168.0.0")), 16},
        {QHostAddress(QStringLiteral("::1")), 128},
        {QHostAddress(QStringLiteral("::")), 128},
        {QHostAddress(QStringLiteral("fc00::")), 7},
        {QHostAddress(QStringLiteral("fe80::")), 10},
        {QHostAddress(QStringLiteral("fec0::")), 10},
    }};
    return std::any_of(internal.begin(), internal.end(), [&plain](const auto& subnet) {
        return plain.isInSubnet(subnet.first, subnet.second);
    });
}

std::optional<double> retryAfterSeconds(const QByteArray& value, qint64 nowSeconds)
{
    const QByteArray text = value.trimmed();
    if (isDigits(text)) {
        QByteArray digits = text;
        while (digits.size() > 1 && digits.startsWith('0'))
            digits.remove(0, 1);
        // Beyond any wait anybody obeys, without overflowing on a hundred digits.
        return digits.size() > 9 ? 1e9 : digits.toDouble();
    }
    // libcurl reads the three date forms HTTP allows, and more.
    const time_t date = curl_getdate(text.constData(), nullptr);
    if (date == -1 || text.isEmpty())
        return std::nullopt;
    return std::max<double>(0, static_cast<double>(date - nowSeconds));
}
