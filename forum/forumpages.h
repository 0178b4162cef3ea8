#pragma once

#include "forumcontent.h"

#include <QByteArray>
#include <QString>

// The pages of the stand-in, in the forum service's address forms and with its markers.
// Addresses are request targets as a client sends them (path and percent-encoded query).
namespace StandIn::Pages {

QString listingTarget(const QString& forumName, int page);
QString albumTarget(const QString& forumName, const QString& albumId, int page);
QString picturePageTarget(const QString& albumId, const QString& pictureId);
QString pictureFileTarget(const QString& pictureId);

QString listingPage(const Forum& forum, int page);
QString albumPage(const Forum& forum, const Album& album, int page);
QString picturePage(const Picture& picture);
// A page with none of the markers: what a maintenance page or a changed layout looks like.
QString pageWithoutMarkers();

// Every target that a whole run of each forum fetches, in the order it fetches them.
QStringList runTargets(const ForumContent& content);

// Pages go out in the forum's own encoding.
QByteArray encodeGb2312(const QString& page);

} // namespace StandIn::Pages
