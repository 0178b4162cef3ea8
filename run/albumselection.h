#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <limits>
#include <optional>

// Which albums of the listing a run takes, by their positions in it (from 1): all of them, or
// those a list such as "1-5,8,12-" names.
class AlbumSelection
{
  public:
    // Every album.
    AlbumSelection() = default;
    // The positions `text` names, or no value when it is no such list.
    static std::optional<AlbumSelection> parse(const QString& text);

    bool contains(qsizetype position) const;
    // Whether it takes an album at a position from `first` to `last`.
    bool takesAnyIn(qsizetype first, qsizetype last) const;
    // Whether it takes the album at `position` of `albums` (a listing's addresses by position,
    // empty where none is known): one at a position chosen whose address is known.
    bool takes(const QStringList& albums, qsizetype position) const
    {
        return contains(position) && !albums.at(position - 1).isEmpty();
    }
    // How many of `albums` it takes.
    qsizetype countAmong(const QStringList& albums) const;
    // The parts of the list that name no album of a listing of `count` albums: as written, or
    // for a range that begins within the listing, the part of it past the end. With `upTo`,
    // only as far as that position: what a listing thought longer left out already.
    QStringList beyond(qsizetype count,
                       qsizetype upTo = std::numeric_limits<qsizetype>::max()) const;

  private:
    struct Range
    {
        qsizetype first;
        qsizetype last; // -1: to the listing's end
        QString text;
    };
    std::optional<QList<Range>> m_ranges;
};
