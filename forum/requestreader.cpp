#include "requestreader.h"

#include <http_parser.h>

namespace StandIn {

struct RequestReader::State
{
    http_parser parser{};
    Request request;
    QByteArray target;
    QByteArray field;
    QByteArray value;
    bool inValue = false;
    QList<Request>* complete = nullptr;

    static State& of(http_parser* parser) { return *static_cast<State*>(parser->data); }

    // A header's name and value may each come in several pieces.
    void endHeader()
    {
        if (!field.isEmpty())
            request.headers.append({field, value});
        field.clear();
        value.clear();
        inValue = false;
    }

    void setUrl()
    {
        http_parser_url parts;
        http_parser_url_init(&parts);
        if (http_parser_parse_url(target.constData(), size_t(target.size()), 0, &parts) != 0)
            return;
        const auto part = [&](int field) {
            return QString::fromUtf8(target.constData() + parts.field_data[field].off,
                                     parts.field_data[field].len);
        };
        if (parts.field_set & (1 << UF_PATH))
            request.url.setPath(part(UF_PATH), QUrl::TolerantMode);
        if (parts.field_set & (1 << UF_QUERY))
            request.url.setQuery(part(UF_QUERY), QUrl::TolerantMode);
    }
};

const http_parser_settings& RequestReader::settings()
{
    static const http_parser_settings settings = makeSettings();
    return settings;
}

http_parser_settings RequestReader::makeSettings()
{
    http_parser_settings settings;
    http_parser_settings_init(&settings);
    settings.on_message_begin = [](http_parser* parser) {
        State& state = State::of(parser);
        state.request = Request();
        state.target.clear();
        return 0;
    };
    settings.on_url = [](http_parser* parser, const char* at, size_t length) {
        State::of(parser).target.append(at, qsizetype(length));
        return 0;
    };
    settings.on_header_field = [](http_parser* parser, const char* at, size_t length) {
        State& state = State::of(parser);
        if (state.inValue)
            state.endHeader();
        state.field.append(at, qsizetype(length));
        return 0;
    };
    settings.on_header_value = [](http_parser* parser, const char* at, size_t length) {
        State& state = State::of(parser);
        state.inValue = true;
        state.value.append(at, qsizetype(length));
        return 0;
    };
    settings.on_headers_complete = [](http_parser* parser) {
        State& state = State::of(parser);
        state.endHeader();
        state.request.method = http_method_str(http_method(parser->method));
        state.setUrl();
        return 0;
    };
    settings.on_message_complete = [](http_parser* parser) {
        State& state = State::of(parser);
        state.complete->append(state.request);
        return 0;
    };
    return settings;
}

RequestReader::RequestReader() : m_state(std::make_unique<State>())
{
    http_parser_init(&m_state->parser, HTTP_REQUEST);
    m_state->parser.data = m_state.get();
}

RequestReader::~RequestReader() = default;

bool RequestReader::read(const QByteArray& bytes, QList<Request>& complete)
{
    m_state->complete = &complete;
    const size_t parsed =
        http_parser_execute(&m_state->parser, &settings(), bytes.constData(), size_t(bytes.size()));
    return parsed == size_t(bytes.size()) && HTTP_PARSER_ERRNO(&m_state->parser) == HPE_OK;
}

} // namespace StandIn
