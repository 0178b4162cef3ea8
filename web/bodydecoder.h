#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <functional>
#include <memory>

struct z_stream_s;

// Unpacks a body sent gzip-compressed, as it arrives, and knows whether the packed stream came
// to its proper end. libcurl's own unpacking takes a gzip stream that simply stops as a whole
// one, which would save half a picture, or half a page, as if it were all there.
class BodyDecoder
{
  public:
    enum class Coding
    {
        Identity,
        Gzip,
        Unsupported // a coding we never offer, or more than one
    };

    // The coding an answer names in its Content-Encoding and Transfer-Encoding values (the
    // latter's "chunked" is libcurl's to undo).
    static Coding codingOf(const QByteArray& contentEncoding, const QByteArray& transferEncoding);

    explicit BodyDecoder(Coding coding);
    ~BodyDecoder();
    BodyDecoder(const BodyDecoder&) = delete;
    BodyDecoder& operator=(const BodyDecoder&) = delete;

    // Receives the unpacked bytes; false stops the body.
    using Sink = std::function<bool(const char* data, qint64 size)>;
    // Unpacks `size` bytes of the body into `sink`. False when they are not what the coding
    // says, or the sink refused them.
    bool feed(const char* data, qint64 size, const Sink& sink);
    // Whether the body, as far as it has come, ends where its coding says it ends.
    bool isComplete() const;

  private:
    Coding m_coding;
    std::unique_ptr<z_stream_s> m_zlib;
    bool m_ended = false;
};
