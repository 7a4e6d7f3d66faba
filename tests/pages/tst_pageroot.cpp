// The console page on the wire: the real page, wired to a real command link,
// against the simulated card's command interpreter. (Unlocked in the main
// window it is tested with the other pages, in tst_mainwindow.)

#include "pages/pageroot.h"
#include "pagewire.h"
#include "support/testaddresses.h"

#include <QLineEdit>
#include <QTextBlock>
#include <QTextBrowser>

namespace {

constexpr int kArea = 42;

struct Rig : PageOnWire<PageRoot> {
    explicit Rig(const QString& address, const QStringList& options = {})
        : PageOnWire(address, &CommTcp::gotRootRespond, options)
    {
    }
    void type(const QString& line)
    {
        child<QLineEdit>("leCmd")->setText(line);
        child<QPushButton>("btnSendCmd")->click();
    }
};

const QColor kDarkBlue(0, 0, 128);
const QColor kDarkGreen(0, 128, 0);

// The transcript line by line, each line's text and, after " @", its colour.
QStringList transcript(const PageRoot& page, bool withColour = false)
{
    const QTextDocument* doc = childOf<QTextBrowser>(page, "textBrowserCmd")->document();
    QStringList lines;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const QColor colour = b.begin().atEnd() ? QColor() : b.begin().fragment().charFormat().foreground().color();
        lines.append(withColour ? b.text() + QStringLiteral(" @") + colour.name() : b.text());
    }
    // Every entry ends its line, so the last block is the empty one after it.
    if (!lines.isEmpty() && doc->lastBlock().text().isEmpty())
        lines.removeLast();
    return lines;
}

QString coloured(const char* text, const QColor& colour)
{
    return QString::fromUtf8(text) + QStringLiteral(" @") + colour.name();
}

} // namespace

class TestPageRoot : public QObject {
    Q_OBJECT

private slots:
    void verOnTheWire();
    void clearIsKeptClearIsSent_data();
    void clearIsKeptClearIsSent();
    void answerEndsAtTheZeroByte();
    void entriesGoToTheEndEvenWithASelection();
    void unsentWhenDisconnectedStillInTranscript();

private:
    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
};

void TestPageRoot::verOnTheWire()
{
    Rig rig(nextAddress());
    QVERIFY(rig.start());
    rig.type(QStringLiteral("ver"));
    QTRY_COMPARE(rig.wireIn(18).size(), 1);
    QCOMPARE(rig.wireIn(18).first().toHex(' '), hexBytes("68 00 05 00 12 76 65 72 CC").toHex(' '));
    QTRY_COMPARE(transcript(rig.page).size(), 2);
    QCOMPARE(transcript(rig.page, true),
        (QStringList { coloured("Send: ver", kDarkBlue), coloured("Recv: v1.3.0 20261201", kDarkGreen) }));
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
}

void TestPageRoot::clearIsKeptClearIsSent()
{
    QFETCH(QString, line);
    QFETCH(bool, sent);
    Rig rig(nextAddress());
    QVERIFY(rig.start());
    rig.type(QStringLiteral("ver"));
    QTRY_COMPARE(transcript(rig.page).size(), 2);
    rig.type(line);
    if (!sent) {
        QVERIFY(transcript(rig.page).isEmpty());
        // The next command shows that nothing went in between.
        rig.type(QStringLiteral("ver"));
        QTRY_COMPARE(transcript(rig.page).size(), 2);
        QCOMPARE(rig.in(18), (QList<QByteArray> { "ver", "ver" }));
        return;
    }
    QTRY_COMPARE(transcript(rig.page).size(), 4);
    QCOMPARE(rig.in(18).last(), line.toLatin1());
    QCOMPARE(transcript(rig.page).mid(2),
        (QStringList { QStringLiteral("Send: ") + line, QStringLiteral("Recv: sh: %1: not found").arg(line) }));
}

void TestPageRoot::answerEndsAtTheZeroByte()
{
    Rig rig(nextAddress(), { QStringLiteral("--console-trailer"), QStringLiteral("more bytes") });
    QVERIFY(rig.start());
    rig.type(QStringLiteral("echo OK"));
    QTRY_COMPARE(transcript(rig.page).size(), 2);
    QCOMPARE(rig.out(19).first(), QByteArray("OK\0more bytes", 13));
    QCOMPARE(transcript(rig.page, true).at(1), coloured("Recv: OK", kDarkGreen));
}

void TestPageRoot::entriesGoToTheEndEvenWithASelection()
{
    PageRoot page;
    auto* browser = childOf<QTextBrowser>(page, "textBrowserCmd");
    // Only code 19 is an answer.
    for (int cmd : { 18, 1, 20 })
        feed(page, cmd, "first");
    QVERIFY(transcript(page).isEmpty());
    feed(page, 19, "first");
    // The technician selects the start of the transcript to copy it.
    QTextCursor selection(browser->document());
    selection.movePosition(QTextCursor::Start);
    selection.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
    browser->setTextCursor(selection);
    feed(page, 19, "second");
    QCOMPARE(transcript(page), (QStringList { "Recv: first", "Recv: second" }));
    QCOMPARE(browser->textCursor().position(), browser->document()->characterCount() - 1);
}

void TestPageRoot::unsentWhenDisconnectedStillInTranscript()
{
    BoxRecorder boxes;
    CommTcp link;
    PageRoot page;
    MainWindow::wirePages(&link, only(&page), &link);
    childOf<QLineEdit>(page, "leCmd")->setText(QStringLiteral("ver"));
    childOf<QPushButton>(page, "btnSendCmd")->click();
    QVERIFY(boxes.saw(QStringLiteral("Device not connected!")));
    QCOMPARE(transcript(page), QStringList { "Send: ver" });
}

QTEST_MAIN(TestPageRoot)
#include "tst_pageroot.moc"
