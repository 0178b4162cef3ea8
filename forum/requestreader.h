#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QUrl>

#include <memory>

struct http_parser_settings;

namespace StandIn {

struct Request
{
    QByteArray method;
    QUrl url; // path and query, percent-encoded as received
    QList<QPair<QByteArray, QByteArray>> headers;
};

// Reads the requests a client sends on one connection, however the bytes are split, several
// in a row included. The parsing is http-parser's (Node.js's parser, which Qt HttpServer uses
// too): an HTTP server of our own would be one more parser to get wrong.
class RequestReader
{
  public:
    RequestReader();
    ~RequestReader();
    RequestReader(const RequestReader&) = delete;
    RequestReader& operator=(const RequestReader&) = delete;

    // Appends every request that `bytes` completes to `complete`; false when the bytes are no
    // HTTP request, after which the connection can only be closed.
    bool read(const QByteArray& bytes, QList<Request>& complete);

  private:
    struct State;
    static const http_parser_settings& settings();
    static http_parser_settings makeSettings();

    std::unique_ptr<State> m_state;
};

} // namespace StandIn
