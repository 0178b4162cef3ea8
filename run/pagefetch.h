#pragma once

#include <QString>

class QNetworkAccessManager;

// A forum page as the run reads it: fetched with the page time limit and decoded as the
// forum's GB2312. `fetched` is false when no body came back; `text` is then empty.
struct Page
{
    QString text;
    bool fetched = false;
};

Page fetchPage(QNetworkAccessManager& network, const QString& address);
