#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace StandIn {

// How the stand-in misbehaves for one address. The default serves the address normally.
struct Fault
{
    int status = 0;              // answer with this status and a short body instead
    int delayMs = 0;             // answer only after this long
    bool stall = false;          // never answer
    bool dropMidBody = false;    // send half of the body, then reset the connection
    bool lieAboutLength = false; // announce twice the body's length, send the body, close
    bool withoutMarkers = false; // a page with none of the forum's markers
    int failFirst = 0;           // the first N requests get failStatus, later ones succeed
    int failStatus = 503;
    QString redirectTo;             // answer 302 with this Location
    qint64 dripBytes = 0;           // announce this many bytes and trickle them out slowly
    int dripEveryMs = 50;           // 64 bytes of the trickle each time this has passed
    qint64 bytesPerSecond = 0;      // the answer at this rate, a slice every 50 ms, as a slow line
    qint64 streamBytes = 0;         // announce this many bytes and send them as fast as they go
    std::optional<QByteArray> body; // served with status 200 instead of what the address holds
    bool withoutLength = false;     // no Content-Length: the body ends when the connection does
    enum class Packing
    {
        None,
        ContentGzip, // "Content-Encoding: gzip", with the packed length
        TransferGzip // "Transfer-Encoding: gzip, chunked"
    };
    Packing packing = Packing::None;
    bool cutPacked = false;   // only the first half of the packed body, framed as whole
    bool answerTwice = false; // the whole answer written twice on the connection
    // The whole answer sent again later on the same connection: after `againAfterMs` (the copy
    // lands on an idle connection unless a request overtakes it), or, when negative, just before
    // the answer to the next request on that connection.
    std::optional<int> againAfterMs;
    bool alterCopy = false;                // that copy's last byte is not the answer's
    std::optional<QByteArray> lengthValue; // announced as Content-Length instead of the length
    QByteArray extraHeaders; // raw header lines, each ended by CR LF, added to the head

    static Fault withStatus(int code) { return with(&Fault::status, code); }
    static Fault delayedBy(int milliseconds) { return with(&Fault::delayMs, milliseconds); }
    static Fault stalled() { return with(&Fault::stall, true); }
    static Fault droppedMidBody() { return with(&Fault::dropMidBody, true); }
    static Fault lyingAboutLength() { return with(&Fault::lieAboutLength, true); }
    static Fault failingFirst(int requests) { return with(&Fault::failFirst, requests); }
    static Fault redirectedTo(const QString& location)
    {
        return with(&Fault::redirectTo, location);
    }
    static Fault withHeaders(const QByteArray& lines) { return with(&Fault::extraHeaders, lines); }
    static Fault sentAgain(int afterMs)
    {
        return with(&Fault::againAfterMs, std::optional(afterMs));
    }
    // Answers `status`, with the Retry-After `value` when given, to the first `requests` requests.
    static Fault askingToWait(int status, const QByteArray& value, int requests = 1)
    {
        Fault fault = failingFirst(requests);
        fault.failStatus = status;
        if (!value.isEmpty())
            fault.extraHeaders = "Retry-After: " + value + "\r\n";
        return fault;
    }
    static Fault packedAs(Packing packing) { return with(&Fault::packing, packing); }
    static Fault serving(const QByteArray& bytes)
    {
        return with(&Fault::body, std::optional(bytes));
    }

  private:
    template <typename Field, typename Value> static Fault with(Field Fault::*field, Value value)
    {
        Fault fault;
        fault.*field = value;
        return fault;
    }
};

} // namespace StandIn
