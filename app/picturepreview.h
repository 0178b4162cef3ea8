#pragma once

#include <QByteArray>
#include <QCache>
#include <QObject>
#include <QSet>
#include <QThreadPool>

// Small copies of saved pictures for the progress list's tooltips. Each is read and scaled on a
// worker thread and kept for the last few dozen pictures shown, so that pointing at lines never
// holds up the window, whatever the pictures' size.
class PicturePreview : public QObject
{
    Q_OBJECT

  public:
    // The longer side of a copy, at most.
    static constexpr int side = 256;

    explicit PicturePreview(QObject* parent = nullptr);
    ~PicturePreview() override;

    // The copy of the picture at `path`, as JPEG bytes, when it is ready; otherwise starts
    // making it and gives nothing. A file that cannot be read as a picture gives nothing ever.
    QByteArray find(const QString& path);
    // The tooltip that shows `copy`.
    static QString toolTip(const QByteArray& copy);

  signals:
    // The copy of `path` is made, or cannot be.
    void ready(const QString& path);

  private:
    void store(const QString& key, const QString& path, const QByteArray& copy);

    QCache<QString, QByteArray> m_copies{64};
    QSet<QString> m_making;
    QThreadPool m_workers;
};
