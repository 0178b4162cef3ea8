#pragma once

#include <QByteArray>
#include <QString>

// What a page fetch gives back: the body of a 200 answer, a text (empty when no answer came
// in time; the timeout text in one narrow case), or nothing at all (any other status, or a
// transport failure).
class FetchResult
{
  public:
    enum class Kind
    {
        Body,
        Text,
        Nothing
    };

    static FetchResult bodyBytes(QByteArray body);
    static FetchResult text(QString text);
    static FetchResult nothing() { return FetchResult(); }

    Kind kind() const { return m_kind; }
    bool isBody() const { return m_kind == Kind::Body; }
    const QByteArray& body() const { return m_body; }
    const QString& text() const { return m_text; }

  private:
    Kind m_kind = Kind::Nothing;
    QByteArray m_body;
    QString m_text;
};

// Given back when the answer was complete only after the time limit had passed.
QString timeoutText();
