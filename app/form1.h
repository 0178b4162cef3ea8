#pragma once

#include "taskbarprogress.h"
#include "windowsettings.h"

#include "progresslines.h"
#include "run/downloader.h"

#include <QWidget>

#include <functional>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSettings;
class QTimer;
class PicturePreview;
class RunProgressBar;
class TransferEngine;

// The program's only window: the name box, the start and retry buttons and the progress list as
// they were laid out; below them the progress bar, the stop button, the only-new check box and
// the output folder. A larger window gives the room to the list and the name box. What the user
// chose (only new pictures, the folder, the last forums, the window's place) is remembered in
// `settings`.
class Form1 : public QWidget, public ProgressLines
{
    Q_OBJECT

  public:
    Form1(TransferEngine& network, const QString& outputFolder, const ServiceRoots& roots,
          QSettings& settings, QWidget* parent = nullptr);
    ~Form1() override;

    // Adds `line` at the end of the progress list.
    void appendLine(const QString& line) { addLine(line, QString()); }
    // The name box's text as it is now, untrimmed; empty while it shows the hint.
    QString forumName() const;
    // A message box with only an OK button and the program's title.
    void showMessage(const QString& text);

    void addLine(const QString& line, const QString& cause) override;
    void busyChanged(bool busy) override;
    void listingStarted() override;
    void albumsAhead(qsizetype albums) override;
    void albumStarted(qsizetype album, qsizetype count, const QString& title,
                      const QString& folder) override;
    void pictureEnded(const PictureReport& picture) override;
    void retryEnded(const PictureReport& picture) override;
    void retryFinished(int saved, int failing) override;
    void runFinished(const RunTally& tally) override;
    void runStopped(const RunTally& tally) override;

    const Downloader& downloader() const { return m_downloader; }
    // Ticks or clears 只下载新图片 for this session, without remembering it.
    void setUpdate(bool update);
    void setTimeout(double seconds) { m_downloader.setTimeout(seconds); }
    // Makes `folder` the output folder and remembers it, or says in a message box why it cannot
    // be and keeps the one before. What the folder dialog's choice goes through.
    bool changeOutputFolder(const QString& folder);
    // How files and folders are opened; the desktop's own way unless a test says otherwise.
    void setOpener(std::function<bool(const QUrl&)> open) { m_open = std::move(open); }

  public slots:
    void Command1_Click();
    void Command2_Click();
    void Text1_Click();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Form_Unload();
    void updateCaption();
    void showOutputFolder();
    void copySelectedLines();
    void openForumFolder();
    void openPicture(QListWidgetItem* item);
    void rememberPicture(const PictureReport& picture);
    bool showPreview(const QPoint& where);
    void open(const QString& path, const QString& failure);

    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;
    QListWidget* List1;
    RunProgressBar* Progress1;
    QCheckBox* Check1;
    QPushButton* Command3;
    QLabel* Label1;
    QPushButton* Command4;
    // Where each control stands, and the client size, as laid out.
    QRect m_laidOut[9];
    QSize m_laidOutSize;
    QAction* m_openFolder;
    QTimer* m_captionTimer;
    PicturePreview* m_preview;
    QString m_previewWanted; // the picture whose line was pointed at last
    qsizetype m_album = 0;
    qsizetype m_albums = 0;
    TransferEngine& m_network;
    WindowSettings m_settings;
    TaskbarProgress m_taskbar;
    Downloader m_downloader;
    std::function<bool(const QUrl&)> m_open;
};
