// The console page on the wire: the real page, wired to a real command link,
// against the simulated card's command interpreter; and the page as the
// technician reaches it, unlocked in the main window.

#include "mainwindow/mainwindow.h"
#include "pages/pageroot.h"
#include "pagewire.h"
#include "support/testaddresses.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>

namespace {

constexpr int kArea = 42;

using Rig = PageOnWire<PageRoot>;

const QColor kDarkBlue(0, 0, 128);
const QColor kDarkGreen(0, 128, 0);

struct Line {
    QString text;
    QColor colour;
};

// The transcript line by line, with the colour of each line's text.
QList<Line> transcript(const PageRoot& page)
{
    const QTextDocument* doc = page.findChild<QTextBrowser*>(QStringLiteral("textBrowserCmd"))->document();
    QList<Line> lines;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        QColor colour;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            colour = it.fragment().charFormat().foreground().color();
            break;
        }
        lines.append(Line { b.text(), colour });
    }
    // Every entry ends its line, so the last block is the empty one after it.
    if (!lines.isEmpty() && lines.last().text.isEmpty())
        lines.removeLast();
    return lines;
}

QStringList texts(const QList<Line>& lines)
{
    QStringList result;
    for (const Line& l : lines)
        result.append(l.text);
    return result;
}

void type(Rig& rig, const QString& line)
{
    rig.child<QLineEdit>("leCmd")->setText(line);
    rig.child<QPushButton>("btnSendCmd")->click();
}

} // namespace

class TestPageRoot : public QObject {
    Q_OBJECT

private slots:
    void formAsDesigned();
    void verOnTheWire();
    void clearIsKeptClearIsSent_data();
    void clearIsKeptClearIsSent();
    void emptyLineIsSent();
    void answerEndsAtTheZeroByte();
    void multiLineAnswer();
    void entriesGoToTheEndEvenWithASelection();
    void unsentWhenDisconnectedStillInTranscript();
    void unlockedInTheMainWindow();

private:
    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
};

void TestPageRoot::formAsDesigned()
{
    PageRoot page;
    QCOMPARE(page.objectName(), QStringLiteral("PageRoot"));
    QCOMPARE(page.windowTitle(), QStringLiteral("Form"));
    auto* group = page.findChild<QGroupBox*>(QStringLiteral("groupBox"));
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("Send Command"));
    auto* browser = page.findChild<QTextBrowser*>(QStringLiteral("textBrowserCmd"));
    QVERIFY(browser && browser->isReadOnly() && browser->parentWidget() == group);
    QVERIFY(page.findChild<QLineEdit*>(QStringLiteral("leCmd")));
    QCOMPARE(page.findChild<QPushButton*>(QStringLiteral("btnSendCmd"))->text(), QStringLiteral("Send"));
}

void TestPageRoot::verOnTheWire()
{
    Rig rig(nextAddress(), &CommTcp::gotRootRespond);
    QVERIFY(rig.start());
    type(rig, QStringLiteral("ver"));
    QTRY_COMPARE(rig.wireIn(18).size(), 1);
    QCOMPARE(rig.wireIn(18).first().toHex(' '), hexBytes("68 00 05 00 12 76 65 72 CC").toHex(' '));
    QTRY_COMPARE(transcript(rig.page).size(), 2);
    const QList<Line> lines = transcript(rig.page);
    QCOMPARE(lines.at(0).text, QStringLiteral("Send: ver"));
    QCOMPARE(lines.at(0).colour, kDarkBlue);
    QCOMPARE(lines.at(1).text, QStringLiteral("Recv: v1.3.0 20261201"));
    QCOMPARE(lines.at(1).colour, kDarkGreen);
    // The line stays for sending again; Return sends like the button.
    QCOMPARE(rig.child<QLineEdit>("leCmd")->text(), QStringLiteral("ver"));
    QTest::keyClick(rig.child<QLineEdit>("leCmd"), Qt::Key_Return);
    QTRY_COMPARE(transcript(rig.page).size(), 4);
    QCOMPARE(rig.in(18), (QList<QByteArray> { "ver", "ver" }));
}

void TestPageRoot::clearIsKeptClearIsSent_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("sent");
    QTest::newRow("clear") << "clear" << false;
    QTest::newRow("Clear") << "Clear" << true;
    QTest::newRow("clear with a space") << "clear " << true;
}

void TestPageRoot::clearIsKeptClearIsSent()
{
    QFETCH(QString, line);
    QFETCH(bool, sent);
    Rig rig(nextAddress(), &CommTcp::gotRootRespond);
    QVERIFY(rig.start());
    type(rig, QStringLiteral("ver"));
    QTRY_COMPARE(transcript(rig.page).size(), 2);
    type(rig, line);
    if (!sent) {
        QVERIFY(transcript(rig.page).isEmpty());
        // The next command shows that nothing went in between.
        type(rig, QStringLiteral("ver"));
        QTRY_COMPARE(transcript(rig.page).size(), 2);
        QCOMPARE(rig.in(18), (QList<QByteArray> { "ver", "ver" }));
        return;
    }
    QTRY_COMPARE(transcript(rig.page).size(), 4);
    QCOMPARE(rig.in(18).last(), line.toLatin1());
    QCOMPARE(transcript(rig.page).at(2).text, QStringLiteral("Send: ") + line);
    QCOMPARE(transcript(rig.page).at(3).text, QStringLiteral("Recv: sh: %1: not found").arg(line.trimmed()));
}

void TestPageRoot::emptyLineIsSent()
{
    Rig rig(nextAddress(), &CommTcp::gotRootRespond);
    QVERIFY(rig.start());
    type(rig, QString());
    QTRY_COMPARE(rig.wireIn(18).size(), 1);
    QCOMPARE(rig.wireIn(18).first().toHex(' '), hexBytes("68 00 02 00 12 7C").toHex(' '));
    QTRY_COMPARE(transcript(rig.page).size(), 2);
    QCOMPARE(texts(transcript(rig.page)), (QStringList { "Send: ", "Recv: " }));
}

void TestPageRoot::answerEndsAtTheZeroByte()
{
    Rig rig(
        nextAddress(), &CommTcp::gotRootRespond, { QStringLiteral("--console-trailer"), QStringLiteral("more bytes") });
    QVERIFY(rig.start());
    type(rig, QStringLiteral("echo OK"));
    QTRY_COMPARE(transcript(rig.page).size(), 2);
    QCOMPARE(rig.out(19).first(), QByteArray("OK\0more bytes", 13));
    QCOMPARE(transcript(rig.page).at(1).text, QStringLiteral("Recv: OK"));
    QCOMPARE(transcript(rig.page).at(1).colour, kDarkGreen);
}

void TestPageRoot::multiLineAnswer()
{
    Rig rig(nextAddress(), &CommTcp::gotRootRespond);
    QVERIFY(rig.start());
    type(rig, QStringLiteral("help"));
    QTRY_VERIFY(transcript(rig.page).size() > 3);
    const QList<Line> lines = transcript(rig.page);
    QCOMPARE(lines.at(1).text, QStringLiteral("Recv: commands:"));
    QVERIFY(lines.at(2).text.contains(QStringLiteral("ver")));
    for (int i = 1; i < lines.size(); ++i)
        QCOMPARE(lines.at(i).colour, kDarkGreen);
    // The next entry starts a line of its own.
    type(rig, QStringLiteral("ver"));
    QTRY_COMPARE(transcript(rig.page).size(), lines.size() + 2);
    QCOMPARE(transcript(rig.page).at(lines.size()).text, QStringLiteral("Send: ver"));
}

void TestPageRoot::entriesGoToTheEndEvenWithASelection()
{
    PageRoot page;
    auto* browser = page.findChild<QTextBrowser*>(QStringLiteral("textBrowserCmd"));
    const QByteArray one("first");
    const QByteArray two("second");
    // Only code 19 is an answer.
    for (int cmd : { 18, 1, 20 })
        page.handleRespond(cmd, reinterpret_cast<const quint8*>(one.constData()), one.size());
    QVERIFY(transcript(page).isEmpty());
    page.handleRespond(19, reinterpret_cast<const quint8*>(one.constData()), one.size());
    // The technician selects the start of the transcript to copy it.
    QTextCursor selection(browser->document());
    selection.movePosition(QTextCursor::Start);
    selection.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
    browser->setTextCursor(selection);
    page.handleRespond(19, reinterpret_cast<const quint8*>(two.constData()), two.size());
    QCOMPARE(texts(transcript(page)), (QStringList { "Recv: first", "Recv: second" }));
    QCOMPARE(browser->textCursor().position(), browser->document()->characterCount() - 1);
}

void TestPageRoot::unsentWhenDisconnectedStillInTranscript()
{
    BoxRecorder boxes;
    CommTcp link;
    PageRoot page;
    connect(&page, &PageRoot::sendCmd, &link, &CommTcp::send);
    page.findChild<QLineEdit*>(QStringLiteral("leCmd"))->setText(QStringLiteral("ver"));
    page.findChild<QPushButton*>(QStringLiteral("btnSendCmd"))->click();
    QVERIFY(boxes.saw(QStringLiteral("Device not connected!")));
    QCOMPARE(texts(transcript(page)), QStringList { "Send: ver" });
}

void TestPageRoot::unlockedInTheMainWindow()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    {
        BoxRecorder boxes;
        const QString address = nextAddress();
        SimulatorFixture sim({ QStringLiteral("--listen"), address });
        QVERIFY(sim.start());
        MainWindow window;
        window.show();
        auto* list = window.findChild<QListWidget*>(QStringLiteral("pageList"));
        auto* stack = window.findChild<QStackedWidget*>(QStringLiteral("stackWidget"));
        auto* status = window.findChild<QLabel*>(QStringLiteral("statusLabel"));
        QCOMPARE(stack->count(), 6);
        QVERIFY(!window.findChild<PageRoot*>());
        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(status, Qt::LeftButton);
        QVERIFY(!window.findChild<PageRoot*>());
        QTest::mouseClick(status, Qt::LeftButton);
        auto* page = window.findChild<PageRoot*>();
        QVERIFY(page);
        QCOMPARE(stack->count(), 7);
        QCOMPARE(stack->indexOf(page), 6);
        QCOMPARE(list->count(), 7);
        QCOMPARE(list->item(6)->text(), QStringLiteral("root"));
        // Further presses change nothing.
        QTest::mouseClick(status, Qt::LeftButton);
        QCOMPARE(stack->count(), 7);

        window.findChild<QLineEdit*>(QStringLiteral("ipEdit"))->setText(address);
        window.findChild<QPushButton*>(QStringLiteral("connectButton"))->click();
        QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("connectButton"))->text(), QStringLiteral("Disconnect"));
        list->setCurrentRow(6);
        QCOMPARE(stack->currentWidget(), page);
        auto* edit = page->findChild<QLineEdit*>(QStringLiteral("leCmd"));
        edit->setText(QStringLiteral("ver"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE(transcript(*page).size(), 2);
        QCOMPARE(texts(transcript(*page)), (QStringList { "Send: ver", "Recv: v1.3.0 20261201" }));
        QVERIFY(boxes.boxes.isEmpty());
    }
    QVERIFY(QDir::setCurrent(previous));
}

QTEST_MAIN(TestPageRoot)
#include "tst_pageroot.moc"
