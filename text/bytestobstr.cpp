#include "bytestobstr.h"

#include "gb18030.h"

#include <QStringDecoder>
#include <QStringList>

namespace {

// The forum labels its pages "gb2312" but writes GBK characters too; browsers decode every
// GBK label with the GB18030 decoder (WHATWG Encoding Standard), and so do we.
QByteArray decoderName(const QString& charset)
{
    static const QStringList gbkLabels = {
        QStringLiteral("chinese"), QStringLiteral("csgb2312"),  QStringLiteral("csiso58gb231280"),
        QStringLiteral("gb2312"),  QStringLiteral("gb_2312"),   QStringLiteral("gb_2312-80"),
        QStringLiteral("gbk"),     QStringLiteral("iso-ir-58"), QStringLiteral("x-gbk"),
        QStringLiteral("gb18030")};
    const QString label = charset.trimmed().toLower();
    if (gbkLabels.contains(label))
        return QByteArrayLiteral("GB18030");
    return label.toLatin1();
}

} // namespace

QString BytesToBstr(const FetchResult& body, const QString& charset)
{
    if (!body.isBody())
        return QString();
    const QByteArray name = decoderName(charset);
    if (name == "GB18030")
        return decodeGb18030(body.body());
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return QString();
    return decoder.decode(body.body());
}
