#include "gb18030.h"

#include <QStringDecoder>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace {

constexpr char16_t replacement = 0xFFFD;

} // namespace

#ifdef Q_OS_WIN

std::optional<QString> decodeGb18030WithPlatform(const QByteArray& bytes)
{
    // GB18030 is code page 54936. Wine, where the Windows build is tested, lacks it; its code
    // page 936 (GBK) reads every GB2312 and GBK character, which is what the pages carry, and
    // only GB18030's four-byte characters come out wrong, as two question marks each.
    static const UINT codePage = IsValidCodePage(54936) ? 54936 : 936;
    if (bytes.isEmpty())
        return QString();
    // Without MB_ERR_INVALID_CHARS, bytes that form no character become U+FFFD.
    const int size = MultiByteToWideChar(codePage, 0, bytes.constData(),
                                         static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0)
        return std::nullopt;
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(codePage, 0, bytes.constData(), static_cast<int>(bytes.size()),
                        reinterpret_cast<wchar_t*>(text.data()), size);
    // Code page 936 reads the byte 0xFF, which starts no character, as U+F8F5.
    if (codePage == 936)
        text.replace(QChar(0xF8F5), QChar(replacement));
    return text;
}

#else

std::optional<QString> decodeGb18030WithPlatform(const QByteArray& bytes)
{
    const iconv_t converter = iconv_open("UTF-16LE", "GB18030");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    // At most one UTF-16 unit per input byte: a character of 2 or 4 bytes gives 1 or 2 units.
    QString text(bytes.size(), Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.constData());
    std::size_t inLeft = static_cast<std::size_t>(bytes.size());
    char* out = reinterpret_cast<char*>(text.data());
    std::size_t outLeft = static_cast<std::size_t>(text.size()) * sizeof(char16_t);
    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1))
            break;
        // A character cut off at the end is dropped, as Qt's decoder drops it.
        if (errno != EILSEQ)
            break;
        // A byte that starts no character: one U+FFFD for it, and on with the next byte.
        *reinterpret_cast<char16_t*>(out) = replacement;
        out += sizeof(char16_t);
        outLeft -= sizeof(char16_t);
        ++in;
        --inLeft;
    }
    iconv_close(converter);
    text.truncate((out - reinterpret_cast<char*>(text.data())) /
                  static_cast<std::ptrdiff_t>(sizeof(char16_t)));
    return text;
}

#endif

QString decodeGb18030(const QByteArray& bytes)
{
    QStringDecoder decoder("GB18030");
    if (decoder.isValid())
        return decoder.decode(bytes);
    if (std::optional<QString> text = decodeGb18030WithPlatform(bytes))
        return *text;
    static bool said = false;
    if (!said) {
        said = true;
        std::fputs("varnolt: this system has no GB18030 decoder; forum pages cannot be read\n",
                   stderr);
    }
    return QString();
}
