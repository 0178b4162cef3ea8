#include "app/form1.h"
#include "app/qttranslations.h"
#include "filesbelow.h"
#include "forum/forumpages.h"
#include "forum/standinforum.h"
#include "forumbuilder.h"
#include "waitfor.h"
#include "web/transferengine.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <functional>

using namespace ForumBuilder;

class TestForm1 : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowAsItOpens();
    void controlsAsLaidOut_data();
    void controlsAsLaidOut();
    void tabOrderAndFocus();
    void clickClearsOnlyTheHintText();
    void typingReplacesTheHintAsTheWindowOpens();
    void enterStartsEscapeDoesNothing();
    void growingGivesRoomToTheListAndTheNameBox();
    void duringARunTheNameAndButtonsWait();
    void copyingSelectedLines();
    void emptyNameShowsTheMessageBox_data();
    void emptyNameShowsTheMessageBox();
    void runsAppendBelowEachOther();
    void listFollowsTheEndOnlyWhileShowingIt();
    void largerFontsScaleTheLayout_data();
    void largerFontsScaleTheLayout();
    void retryButtonSavesTheFailures();
    void stopEndsTheRunAndOnlyNewFetchesTheRest();
    void progressBarCountsAlbumsAndPictures();
    void savedLineShowsItsPictureAndOpensIt();
    void choicesAreRememberedBetweenSessions();

  private:
    template <typename Control> Control* control(const char* name) const
    {
        return m_window->findChild<Control*>(QLatin1String(name));
    }
    QLineEdit* nameBox() const { return control<QLineEdit>("Text1"); }
    QListWidget* progressList() const { return control<QListWidget>("List1"); }
    QStringList lines() const
    {
        QStringList all;
        for (int row = 0; row < progressList()->count(); ++row)
            all.append(progressList()->item(row)->text());
        return all;
    }

    // Runs the event loop until the run or retry a press began has ended.
    void untilIdle()
    {
        waitUntil(m_network, [this] { return !m_window->downloader().isBusy(); });
    }

    // A window as it opens with what m_settings remembers.
    void openWindow();
    // Hands the message box the window shows next to `answer` once it is up; a box that never
    // came is looked for no longer once the test has ended.
    void onNextMessageBox(const std::function<void(QMessageBox*)>& answer)
    {
        auto* poll = new QTimer(this);
        poll->setObjectName(QStringLiteral("messageBoxPoll"));
        connect(poll, &QTimer::timeout, this, [poll, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                poll->deleteLater();
                poll->stop();
                answer(box);
            }
        });
        poll->start(5);
    }
    // Reads the text of the message box the window shows next, and closes it.
    void answerMessage(QString* text)
    {
        onNextMessageBox([text](QMessageBox* box) {
            *text = box->text();
            box->accept();
        });
    }

    std::unique_ptr<StandIn::StandInForum> m_forum;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<QSettings> m_settings;
    // A server's wait of a second lasts a tenth of one.
    TransferEngine m_network{[] {
        EngineSettings settings;
        settings.waitScale = 0.1;
        return settings;
    }()};
    std::unique_ptr<Form1> m_window;
};

void TestForm1::initTestCase()
{
    loadQtTranslations();
}

void TestForm1::init()
{
    StandIn::Album album = ForumBuilder::album(QStringLiteral("a"), QStringLiteral("橘猫"), 3);
    album.pictures[1].failFirst = 1;
    m_forum = std::make_unique<StandIn::StandInForum>(forum(QStringLiteral("猫咪"), {album}));
    QVERIFY(m_forum->start());
    m_folder = std::make_unique<QTemporaryDir>();
    m_settings = std::make_unique<QSettings>(m_folder->filePath(QStringLiteral("varnolt.conf")),
                                             QSettings::IniFormat);
    openWindow();
}

void TestForm1::openWindow()
{
    m_window.reset();
    m_window = std::make_unique<Form1>(m_network, m_folder->path(),
                                       ServiceRoots{m_forum->forumRoot(), m_forum->pictureRoot()},
                                       *m_settings);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestForm1::cleanup()
{
    m_window.reset();
    qDeleteAll(findChildren<QTimer*>(QStringLiteral("messageBoxPoll"), Qt::FindDirectChildrenOnly));
}

void TestForm1::windowAsItOpens()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Varnolt"));
    QCOMPARE(m_window->size(), QSize(472, 390));
    // An album of its own, at every size a desktop asks for.
    QCOMPARE(m_window->windowIcon().availableSizes().size(), 7);
    // Centred, give or take the frame, which is known only once the window is shown.
    const QPoint offCentre =
        m_window->frameGeometry().center() - m_window->screen()->availableGeometry().center();
    const int frame = m_window->frameGeometry().height() - m_window->height();
    QVERIFY2(offCentre.manhattanLength() <= 4 + frame / 2,
             qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
    QCOMPARE(nameBox()->text(), QStringLiteral("请输入吧名"));
    QCOMPARE(progressList()->count(), 0);
}

void TestForm1::controlsAsLaidOut_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    // Left, top, width and height in twips, 15 to the pixel at 96 dots per inch.
    const auto twips = [](int left, int top, int width, int height) {
        return QRect(left / 15, top / 15, width / 15, height / 15);
    };
    QTest::newRow("name box") << QStringLiteral("Text1") << twips(120, 240, 1575, 375)
                              << QStringLiteral("请输入吧名");
    QTest::newRow("start button") << QStringLiteral("Command1") << twips(1800, 240, 1215, 375)
                                  << QStringLiteral("开始下载");
    QTest::newRow("retry button") << QStringLiteral("Command2") << twips(3120, 240, 2175, 375)
                                  << QStringLiteral("重新下载保存失败的文件");
    QTest::newRow("progress list")
        << QStringLiteral("List1") << twips(120, 720, 6855, 3660) << QString();
}

void TestForm1::controlsAsLaidOut()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    auto* widget = m_window->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->property("text").toString(), text);
}

void TestForm1::tabOrderAndFocus()
{
    QApplication::setActiveWindow(m_window.get());
    QTRY_COMPARE(QApplication::focusWidget(), nameBox());
    QStringList order;
    for (int n = 0; n < 6; ++n) {
        order.append(QApplication::focusWidget()->objectName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // The stop button, disabled without a run, is passed over.
    QCOMPARE(order, QStringList({QStringLiteral("Text1"), QStringLiteral("Command1"),
                                 QStringLiteral("List1"), QStringLiteral("Command2"),
                                 QStringLiteral("Check1"), QStringLiteral("Command4")}));
    QCOMPARE(QApplication::focusWidget(), nameBox());
    auto* start = control<QPushButton>("Command1");
    QVERIFY(!start->isDefault() && !start->autoDefault());
    QVERIFY(!control<QPushButton>("Command2")->isDefault());
}

void TestForm1::clickClearsOnlyTheHintText()
{
    QTest::mouseClick(nameBox(), Qt::LeftButton);
    QCOMPARE(nameBox()->text(), QString());
    QTest::mouseClick(nameBox(), Qt::LeftButton);
    QCOMPARE(nameBox()->text(), QString());

    nameBox()->setText(QStringLiteral("请输入吧名 "));
    QTest::mouseClick(nameBox(), Qt::LeftButton);
    QCOMPARE(nameBox()->text(), QStringLiteral("请输入吧名 "));

    // Typing without a click first adds to the hint text, and a click then keeps it.
    nameBox()->setText(QStringLiteral("请输入吧名"));
    nameBox()->setCursorPosition(nameBox()->text().size());
    QTest::keyClicks(nameBox(), QStringLiteral("abc"));
    QCOMPARE(nameBox()->text(), QStringLiteral("请输入吧名abc"));
    QTest::mouseClick(nameBox(), Qt::LeftButton);
    QCOMPARE(nameBox()->text(), QStringLiteral("请输入吧名abc"));
}

void TestForm1::enterStartsEscapeDoesNothing()
{
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QVERIFY(m_window->isVisible());
    QCOMPARE(progressList()->count(), 0);
    nameBox()->setText(QStringLiteral("猫咪"));
    QTest::keyClick(nameBox(), Qt::Key_Return);
    untilIdle();
    QCOMPARE(lines().constFirst(), QStringLiteral("开始获取相册地址！"));
    QCOMPARE(lines().constLast(),
             QStringLiteral("下载结束：保存成功2张，失败1张，保存在：") +
                 QDir::toNativeSeparators(m_folder->filePath(QStringLiteral("猫咪"))));
}

void TestForm1::growingGivesRoomToTheListAndTheNameBox()
{
    QList<QRect> laidOut;
    const auto children = m_window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (const QWidget* child : children)
        laidOut.append(child->geometry());
    m_window->resize(1000, 800);
    QTRY_COMPARE(m_window->size(), QSize(1000, 800));
    const int wider = 1000 - 472;
    const int taller = 800 - 390;
    QCOMPARE(nameBox()->geometry(), QRect(8, 16, 105 + wider, 25));
    QCOMPARE(control<QPushButton>("Command1")->geometry(), QRect(120 + wider, 16, 81, 25));
    QCOMPARE(control<QPushButton>("Command2")->geometry(), QRect(208 + wider, 16, 145, 25));
    QCOMPARE(progressList()->geometry(), QRect(8, 48, 457 + wider, 244 + taller));
    QCOMPARE(control<QWidget>("Progress1")->geometry(), QRect(8, 298 + taller, 457 + wider, 21));
    QCOMPARE(control<QPushButton>("Command3")->geometry(),
             QRect(384 + wider, 326 + taller, 81, 25));

    // No smaller than every control whole; back at the first size, all stands as laid out.
    m_window->resize(200, 100);
    QTRY_COMPARE(m_window->size(), QSize(472, 390));
    for (int n = 0; n < children.size(); ++n)
        QCOMPARE(children.at(n)->geometry(), laidOut.at(n));
}

void TestForm1::duringARunTheNameAndButtonsWait()
{
    m_forum->setFault(StandIn::Pages::listingTarget(QStringLiteral("猫咪"), 1),
                      StandIn::Fault::delayedBy(100));
    // A server that asks for a second's wait, which the caption shows.
    m_forum->setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-1")),
                      StandIn::Fault::askingToWait(429, "1"));
    nameBox()->setText(QStringLiteral("猫咪"));
    QStringList captions;
    bool disabled = false;
    connect(m_window.get(), &QWidget::windowTitleChanged, this,
            [&captions](const QString& title) { captions.append(title); });
    QTimer::singleShot(40, this, [&] {
        disabled = !nameBox()->isEnabled() && !control<QPushButton>("Command1")->isEnabled() &&
                   !control<QPushButton>("Command2")->isEnabled();
        // An edit made now is not the run's.
        nameBox()->setText(QStringLiteral("风景"));
    });
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    untilIdle();
    QVERIFY(disabled);
    QCOMPARE(lines().at(1), QStringLiteral("获取相册地址完成！猫咪吧共有1个相册"));
    QVERIFY(QFileInfo::exists(m_folder->filePath(QStringLiteral("猫咪/橘猫/1.jpg"))));
    QVERIFY(!QFileInfo::exists(m_folder->filePath(QStringLiteral("风景"))));
    QVERIFY(nameBox()->isEnabled() && control<QPushButton>("Command2")->isEnabled());
    QVERIFY(captions.contains(QStringLiteral("Varnolt - 相册 1/1")));
    QVERIFY2(captions.contains(QStringLiteral("Varnolt - 相册 1/1 - 等待服务器 1s")),
             qPrintable(captions.join(QLatin1Char('|'))));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Varnolt"));
}

void TestForm1::copyingSelectedLines()
{
    for (const char* line : {"一", "二", "三"})
        m_window->appendLine(QString::fromUtf8(line));
    progressList()->item(2)->setSelected(true);
    progressList()->item(0)->setSelected(true);
    progressList()->setFocus();
    QTest::keySequence(progressList(), QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("一\n三"));
    // The same from the list's menu, whose other entry opens the last run's folder.
    QGuiApplication::clipboard()->clear();
    control<QAction>("copyLines")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("一\n三"));
    QVERIFY(!control<QAction>("openFolder")->isEnabled());
}

void TestForm1::typingReplacesTheHintAsTheWindowOpens()
{
    QApplication::setActiveWindow(m_window.get());
    QTRY_COMPARE(QApplication::focusWidget(), nameBox());
    QTest::keyClicks(nameBox(), QStringLiteral("abc"));
    QCOMPARE(nameBox()->text(), QStringLiteral("abc"));
}

void TestForm1::emptyNameShowsTheMessageBox_data()
{
    QTest::addColumn<bool>("clear");
    QTest::newRow("emptied box") << true;
    QTest::newRow("untouched hint") << false;
}

void TestForm1::emptyNameShowsTheMessageBox()
{
    QFETCH(bool, clear);
    if (clear)
        nameBox()->clear();
    QString title;
    QString text;
    QString button;
    onNextMessageBox([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        QCOMPARE(box->buttons().size(), 1);
        button = box->buttons().constFirst()->text();
        box->accept();
    });
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    untilIdle();
    QCOMPARE(title, QStringLiteral("Varnolt"));
    QCOMPARE(text, QStringLiteral("请输入贴吧名称"));
    // Qt's own texts are in Chinese as well.
    QCOMPARE(button, QStringLiteral("确定"));
    QCOMPARE(progressList()->count(), 0);
    QVERIFY(m_forum->requestLog().isEmpty());
}

void TestForm1::runsAppendBelowEachOther()
{
    QTest::mouseClick(nameBox(), Qt::LeftButton);
    nameBox()->insert(QStringLiteral("猫咪")); // typed: keyClicks takes only ASCII
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    untilIdle();
    const QStringList first = lines();
    QCOMPARE(first.size(), 8);
    QCOMPARE(first.at(1), QStringLiteral("获取相册地址完成！猫咪吧共有1个相册"));
    QCOMPARE(first.at(5), QStringLiteral("第1页,第2张下载失败！"));

    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);

    untilIdle();
    QCOMPARE(lines().mid(0, 8), first);
    QCOMPARE(lines().size(), 16);
    QCOMPARE(lines().at(13), QStringLiteral("第1页,第2张下载成功！"));
    QVERIFY(progressList()->selectedItems().isEmpty());
    // In update mode the window's runs leave out what is saved.
    m_window->setUpdate(true);
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    untilIdle();
    QCOMPARE(lines().mid(20, 3), QStringList({QStringLiteral("第1页,第1张已存在，跳过！"),
                                              QStringLiteral("第1页,第2张已存在，跳过！"),
                                              QStringLiteral("第1页,第3张已存在，跳过！")}));

    // What a person sees after a short run.
    const QString shot =
        QCoreApplication::applicationDirPath() + QStringLiteral("/varnolt-window.png");
    QVERIFY(m_window->grab().save(shot));
}

void TestForm1::listFollowsTheEndOnlyWhileShowingIt()
{
    QScrollBar* bar = progressList()->verticalScrollBar();
    const auto append = [this](int count) {
        for (int n = 0; n < count; ++n)
            m_window->appendLine(QStringLiteral("行%1").arg(n));
    };
    append(50);
    QTRY_VERIFY(bar->maximum() > 0);
    QTRY_COMPARE(bar->value(), bar->maximum());

    // Reading further up: new lines leave the view where it is.
    bar->setValue(3);
    const int maximum = bar->maximum();
    append(50);
    QTRY_VERIFY(bar->maximum() > maximum);
    QCOMPARE(bar->value(), 3);

    // Back at the end, it follows again.
    bar->setValue(bar->maximum());
    const int later = bar->maximum();
    append(50);
    QTRY_VERIFY(bar->maximum() > later);
    QTRY_COMPARE(bar->value(), bar->maximum());
}

void TestForm1::largerFontsScaleTheLayout_data()
{
    QTest::addColumn<qreal>("points");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("retryButton");
    QTest::newRow("the layout's own 9 pt") << 9.0 << QSize(472, 390) << QRect(208, 16, 145, 25);
    QTest::newRow("smaller") << 8.0 << QSize(472, 390) << QRect(208, 16, 145, 25);
    QTest::newRow("GNOME's 11 pt") << 11.0 << QSize(577, 477) << QRect(254, 20, 177, 31);
    QTest::newRow("twice") << 18.0 << QSize(944, 780) << QRect(416, 32, 290, 50);
}

void TestForm1::largerFontsScaleTheLayout()
{
    QFETCH(qreal, points);
    QFETCH(QSize, size);
    QFETCH(QRect, retryButton);
    const QFont before = QApplication::font();
    QFont font = before;
    font.setPointSizeF(points);
    QApplication::setFont(font);
    Form1 window(m_network, m_folder->path(),
                 ServiceRoots{m_forum->forumRoot(), m_forum->pictureRoot()}, *m_settings);
    QApplication::setFont(before);
    QCOMPARE(window.size(), size);
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("Command2"))->geometry(), retryButton);
}

void TestForm1::retryButtonSavesTheFailures()
{
    nameBox()->setText(QStringLiteral("猫咪"));
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    untilIdle();
    QCOMPARE(m_window->downloader().failedPictures().entries().size(), 1);
    const int linesAfterRun = progressList()->count();
    // The failure line says why as its tooltip; the others say nothing more.
    QCOMPARE(progressList()->item(5)->text(), QStringLiteral("第1页,第2张下载失败！"));
    QCOMPARE(progressList()->item(5)->toolTip(), QStringLiteral("HTTP 503"));
    QCOMPARE(progressList()->item(4)->toolTip(), QString());
    QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
    untilIdle();
    QVERIFY(m_window->downloader().failedPictures().isEmpty());
    const QString saved = m_folder->filePath(QStringLiteral("猫咪/橘猫/2.jpg"));
    QVERIFY(QFile::exists(saved));
    QCOMPARE(lines().mid(linesAfterRun),
             QStringList({QStringLiteral("重新下载成功：") + QDir::toNativeSeparators(saved),
                          QStringLiteral("重新下载结束：保存成功1张，失败0张")}));
    QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
    untilIdle();
    QCOMPARE(lines().constLast(), QStringLiteral("没有需要重新下载的文件"));
}

void TestForm1::stopEndsTheRunAndOnlyNewFetchesTheRest()
{
    for (const char* picture : {"a-2", "a-3"})
        m_forum->setFault(StandIn::Pages::pictureFileTarget(QLatin1String(picture)),
                          StandIn::Fault::delayedBy(400));
    auto* stop = control<QPushButton>("Command3");
    QVERIFY(!stop->isEnabled());
    nameBox()->setText(QStringLiteral("猫咪"));
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    waitUntil(m_network,
              [this] { return lines().contains(QStringLiteral("第1页,第1张下载成功！")); });
    QVERIFY(stop->isEnabled());
    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(!m_window->downloader().isBusy() && !stop->isEnabled());
    QCOMPARE(lines().constLast(), QStringLiteral("下载已停止：保存成功1张，失败0张"));
    const QString forumFolder = m_folder->filePath(QStringLiteral("猫咪"));
    QCOMPARE(filesBelow(forumFolder), QStringList({QStringLiteral("橘猫/1.jpg")}));
    QCOMPARE(recordBelow(forumFolder).size(), 1);

    // Ticked, the next run takes only what the stopped one had not saved; at once now.
    m_forum->clearFaults();
    control<QCheckBox>("Check1")->click();
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    untilIdle();
    QVERIFY(lines().contains(QStringLiteral("第1页,第1张已存在，跳过！")));
    QVERIFY(lines().contains(QStringLiteral("第1页,第3张下载成功！")));
    QVERIFY(lines().constLast().startsWith(QStringLiteral("下载结束：")));
    QVERIFY(lines().constLast().contains(QStringLiteral("跳过1张")));
}

void TestForm1::progressBarCountsAlbumsAndPictures()
{
    m_forum = std::make_unique<StandIn::StandInForum>(
        forum(QStringLiteral("猫咪"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2),
                                       album(QStringLiteral("b"), QStringLiteral("乙"), 1)}));
    QVERIFY(m_forum->start());
    openWindow();
    auto* bar = control<QProgressBar>("Progress1");
    QCOMPARE(bar->text(), QString());
    // The bar as each line arrives.
    QStringList seen;
    connect(progressList()->model(), &QAbstractItemModel::rowsInserted, this, [&] {
        seen.append(QStringLiteral("%1/%2 ").arg(bar->value()).arg(bar->maximum()) + bar->text());
    });
    nameBox()->setText(QStringLiteral("猫咪"));
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    untilIdle();
    // At the second album's first page, the first album is done.
    QCOMPARE(lines().at(7), QStringLiteral("正在处理相册第1页,总1页"));
    QVERIFY2(seen.at(7).startsWith(QStringLiteral("1/2 相册 1/2  保存2张 失败0张")),
             qPrintable(seen.at(7)));
    QCOMPARE(bar->maximum(), 2);
    QCOMPARE(bar->value(), 2);
    QVERIFY2(bar->text().startsWith(QStringLiteral("相册 2/2  保存3张 失败0张")),
             qPrintable(bar->text()));

    // A listing page that could not be had keeps its albums' positions, which no album fills:
    // of eleven albums, five a page, the six of the first and third pages are counted.
    QList<StandIn::Album> eleven;
    for (int n = 1; n <= 11; ++n)
        eleven.append(album(QString::number(n), QString::number(n), 0));
    m_forum = std::make_unique<StandIn::StandInForum>(forum(QStringLiteral("猫咪"), eleven));
    QVERIFY(m_forum->start());
    m_forum->setFault(StandIn::Pages::listingTarget(QStringLiteral("猫咪"), 2),
                      StandIn::Fault::withStatus(404));
    openWindow();
    bar = control<QProgressBar>("Progress1");
    connect(progressList()->model(), &QAbstractItemModel::rowsInserted, this,
            [&] { seen.append(bar->text()); });
    seen.clear();
    nameBox()->setText(QStringLiteral("猫咪"));
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    untilIdle();
    const qsizetype last = lines().indexOf(QStringLiteral("开始处理相册(11/11):11"));
    // At its first page, the five before it are done.
    QVERIFY2(seen.at(last + 1).startsWith(QStringLiteral("相册 5/6")),
             qPrintable(seen.at(last + 1)));
    // The retry's albums, counted afresh, are all done when it ends.
    m_forum->clearFaults();
    QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
    untilIdle();
    QVERIFY2(bar->text().startsWith(QStringLiteral("相册 5/5")), qPrintable(bar->text()));
}

void TestForm1::savedLineShowsItsPictureAndOpensIt()
{
    StandIn::Album large = album(QStringLiteral("a"), QStringLiteral("橘猫"), 1);
    large.pictures[0].width = 640;
    large.pictures[0].height = 480;
    m_forum = std::make_unique<StandIn::StandInForum>(forum(QStringLiteral("猫咪"), {large}));
    QVERIFY(m_forum->start());
    openWindow();
    nameBox()->setText(QStringLiteral("猫咪"));
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    untilIdle();
    QListWidgetItem* saved = progressList()->item(4);
    QCOMPARE(saved->text(), QStringLiteral("第1页,第1张下载成功！"));
    QWidget* viewport = progressList()->viewport();
    const QPoint centre = progressList()->visualItemRect(saved).center();
    QCursor::setPos(viewport->mapToGlobal(centre));
    QHelpEvent hover(QEvent::ToolTip, centre, viewport->mapToGlobal(centre));
    // The picture is read on another thread: the tooltip comes once it is ready.
    const QString data = QStringLiteral("data:image/jpeg;base64,");
    QTRY_VERIFY(QApplication::sendEvent(viewport, &hover) && QToolTip::text().contains(data));
    const QString tip = QToolTip::text();
    const qsizetype start = tip.indexOf(data) + data.size();
    const QImage shown = QImage::fromData(QByteArray::fromBase64(
        tip.mid(start, tip.indexOf(QLatin1Char('"'), start) - start).toLatin1()));
    QCOMPARE(shown.size(), QSize(256, 192)); // 640 x 480, fitted into 256 px

    // A double click opens the picture; where nothing can open it, a message box says so.
    QList<QUrl> opened;
    m_window->setOpener([&opened](const QUrl& url) {
        opened.append(url);
        return false;
    });
    const QString picture = m_folder->filePath(QStringLiteral("猫咪/橘猫/1.jpg"));
    QString message;
    answerMessage(&message);
    emit progressList()->itemDoubleClicked(saved);
    QCOMPARE(opened, QList<QUrl>({QUrl::fromLocalFile(picture)}));
    QCOMPARE(message, QStringLiteral("无法打开图片：\n") + QDir::toNativeSeparators(picture));
    answerMessage(&message);
    control<QAction>("openFolder")->trigger();
    QCOMPARE(message, QStringLiteral("无法打开文件夹：\n") +
                          QDir::toNativeSeparators(m_folder->filePath(QStringLiteral("猫咪"))));
}

void TestForm1::choicesAreRememberedBetweenSessions()
{
    control<QCheckBox>("Check1")->click();
    const QString chosen = m_folder->filePath(QStringLiteral("图片"));
    QVERIFY(m_window->changeOutputFolder(chosen));
    // A folder that cannot be made is refused, and the one before kept.
    QFile blocker(m_folder->filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    QString message;
    answerMessage(&message);
    QVERIFY(!m_window->changeOutputFolder(blocker.fileName() + QStringLiteral("/sub")));
    QVERIFY2(message.endsWith(QStringLiteral("仍保存到：") + QDir::toNativeSeparators(chosen)),
             qPrintable(message));
    // The label may shorten a long path; its tooltip gives it whole.
    QCOMPARE(control<QLabel>("Label1")->toolTip(), QDir::toNativeSeparators(chosen));
    nameBox()->setText(QStringLiteral("猫咪"));
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    untilIdle();
    QVERIFY(QFile::exists(chosen + QStringLiteral("/猫咪/橘猫/1.jpg")));
    m_window->resize(600, 500);
    QTRY_COMPARE(m_window->size(), QSize(600, 500));
    m_window->close();

    openWindow();
    QVERIFY(control<QCheckBox>("Check1")->isChecked());
    // The program starts the window in the remembered folder unless told another.
    QCOMPARE(QDir::fromNativeSeparators(WindowSettings(*m_settings).outputFolder()), chosen);
    QCOMPARE(m_window->size(), QSize(600, 500));
    const auto* names = qobject_cast<QStringListModel*>(nameBox()->completer()->model());
    QCOMPARE(names->stringList(), QStringList({QStringLiteral("猫咪")}));

    // A damaged file gives the defaults.
    m_settings.reset();
    QFile damaged(m_folder->filePath(QStringLiteral("varnolt.conf")));
    QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("[General\nonlyNew=maybe\noutputFolder=@Variant(\\0\\0\\0\x7f)\n\xff\xfe"
                  "window\\geometry=@ByteArray(garbage)\n");
    damaged.close();
    m_settings = std::make_unique<QSettings>(damaged.fileName(), QSettings::IniFormat);
    openWindow();
    QVERIFY(!control<QCheckBox>("Check1")->isChecked());
    QCOMPARE(m_window->size(), QSize(472, 390));
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
