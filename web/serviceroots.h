#pragma once

#include <QString>

#include <optional>

// The two base addresses of the forum service: the forum site (listing, album and picture
// pages) and the picture store (picture files). Each is an http(s) address ending in "/".
struct ServiceRoots
{
    QString forumRoot = QStringLiteral("http://tieba.baidu.com/");
    QString pictureRoot = QStringLiteral("http://imgsrc.baidu.com/");
};

// Where the picture store keeps the picture of `identifier`.
inline QString pictureAddressOf(const ServiceRoots& roots, const QString& identifier)
{
    return roots.pictureRoot + QStringLiteral("forum/pic/item/") + identifier +
           QStringLiteral(".jpg");
}

// The public roots, or the values of VARNOLT_FORUM_ROOT and VARNOLT_PICTURE_ROOT where set.
// Gives no value, and says why in `problem`, when a value is not a usable root.
std::optional<ServiceRoots> serviceRootsFromEnvironment(QString* problem);

// Whether `root` is an absolute http or https address that ends with "/".
bool isUsableRoot(const QString& root);
