#pragma once

#include <QString>

class HttpClient;

// A forum page as the run reads it: fetched with the page time limit and decoded as the
// forum's GB2312. `fetched` is false when no body came back; `text` is then empty.
struct Page
{
    QString text;
    bool fetched = false;
};

Page fetchPage(HttpClient& network, const QString& address);
