#pragma once

#include "run/downloader.h"
#include "run/runwindow.h"

#include <QWidget>

class QLineEdit;
class QListWidget;
class TransferEngine;
class QPushButton;

// The program's only window: the name box, the start and retry buttons, and the progress
// list. Its controls keep the places and sizes they were laid out with, whatever the size of
// the window.
class Form1 : public QWidget, public RunWindow
{
    Q_OBJECT

  public:
    Form1(TransferEngine& network, const QString& programFolder, const ServiceRoots& roots,
          QWidget* parent = nullptr);

    void appendLine(const QString& line) override;
    QString forumName() const override;
    void showMessage(const QString& text) override;

    const Downloader& downloader() const { return m_downloader; }

  public slots:
    void Command1_Click();
    void Command2_Click();
    void Text1_Click();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Form_Unload();

    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;
    QListWidget* List1;
    TransferEngine& m_network;
    Downloader m_downloader;
};
