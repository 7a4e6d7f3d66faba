// The console page's own decisions: what it sends, what it keeps to itself
// ("clear"), which replies are answers, and where entries go.

#include "pages/pageroot.h"
#include "pagewire.h"

#include <QLineEdit>
#include <QTextBrowser>

class TestPageRoot : public QObject {
    Q_OBJECT

private slots:
    void sendAndAnswer()
    {
        BoxRecorder boxes;
        PageRoot page;
        QSignalSpy sent(&page, &PageRoot::sendCmd);
        auto* browser = childOf<QTextBrowser>(page, "textBrowserCmd");
        auto* line = childOf<QLineEdit>(page, "leCmd");
        line->setText(QStringLiteral("ver"));
        click(page, "btnSendCmd");
        QTest::keyClick(line, Qt::Key_Return); // the line stays; Return sends it again
        // Only code 19 is an answer, and it ends at its zero byte.
        for (int cmd : { 18, 1, 20 })
            feed(page, cmd, "no");
        feed(page, 19, QByteArray("v1.3\0more", 9));
        QCOMPARE(browser->toPlainText(), QStringLiteral("Send: ver\nSend: ver\nRecv: v1.3\n"));
        QCOMPARE(browser->textCursor().charFormat().foreground().color(), QColor(0, 128, 0));

        // "clear" empties the transcript and is not sent; "Clear" is.
        line->setText(QStringLiteral("clear"));
        click(page, "btnSendCmd");
        QCOMPARE(browser->toPlainText(), QString());
        line->setText(QStringLiteral("Clear"));
        click(page, "btnSendCmd");
        QCOMPARE(sent.count(), 3);
        QCOMPARE(sent.last().at(0).toInt(), 18);
        QCOMPARE(sent.last().at(1).toByteArray(), QByteArray("Clear"));

        // An entry goes to the end even while the technician selects the start.
        QTextCursor selection(browser->document());
        selection.movePosition(QTextCursor::Start);
        selection.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        browser->setTextCursor(selection);
        feed(page, 19, "second");
        QCOMPARE(browser->toPlainText(), QStringLiteral("Send: Clear\nRecv: second\n"));
        QVERIFY(boxes.boxes.isEmpty());
    }
};

QTEST_MAIN(TestPageRoot)
#include "tst_pageroot.moc"
