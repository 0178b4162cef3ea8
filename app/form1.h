#pragma once

#include "run/downloader.h"
#include "run/progresslines.h"

#include <QWidget>

class QLineEdit;
class QAction;
class QListWidget;
class QTimer;
class TransferEngine;
class QPushButton;

// The program's only window: the name box, the start and retry buttons, and the progress
// list. At its first size the controls stand where they were laid out; a larger window gives
// the room to the list and the name box.
class Form1 : public QWidget, public ProgressLines
{
    Q_OBJECT

  public:
    Form1(TransferEngine& network, const QString& outputFolder, const ServiceRoots& roots,
          QWidget* parent = nullptr);

    // Adds `line` at the end of the progress list.
    void appendLine(const QString& line) { addLine(line, QString()); }
    // The name box's text as it is now, untrimmed; empty while it shows the hint.
    QString forumName() const;
    // A message box with only an OK button and the program's title.
    void showMessage(const QString& text);

    void addLine(const QString& line, const QString& cause) override;
    void busyChanged(bool busy) override;
    void albumStarted(qsizetype album, qsizetype count, const QString& title,
                      const QString& folder) override;

    const Downloader& downloader() const { return m_downloader; }
    // Runs leave out what the forum's record says is saved.
    void setUpdate(bool update) { m_downloader.setUpdate(update); }
    void setTimeout(double seconds) { m_downloader.setTimeout(seconds); }

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
    void copySelectedLines();
    void openForumFolder();

    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;
    QListWidget* List1;
    // Where each control stands, and the client size, as laid out.
    QRect m_laidOut[4];
    QSize m_laidOutSize;
    QAction* m_openFolder;
    QTimer* m_captionTimer;
    qsizetype m_album = 0;
    qsizetype m_albums = 0;
    TransferEngine& m_network;
    Downloader m_downloader;
};
