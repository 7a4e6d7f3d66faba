// The Chinese catalogue as a technician meets it: every entry translated,
// placeholders, markup and line breaks intact. (The compiled catalogue is
// met on every page by the main window's language test.)

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
QStringList matches(const QString& text, const char* pattern, bool sort)
{
    QStringList found;
    for (auto it = QRegularExpression(QLatin1String(pattern)).globalMatch(text); it.hasNext();)
        found.append(it.next().captured());
    if (sort)
        found.sort();
    return found;
}
} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

private slots:
    void everyEntryKeepsItsForm()
    {
        QFile file(QStringLiteral(NETQUILL_TS_FILE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString context, source;
        QSet<QString> contexts;
        int entries = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("name"))
                contexts.insert(context = xml.readElementText());
            else if (xml.name() == QLatin1String("source"))
                source = xml.readElementText();
            if (xml.name() != QLatin1String("translation"))
                continue;
            ++entries;
            const QByteArray where = (context + QStringLiteral(": ") + source).toUtf8();
            QVERIFY2(xml.attributes().value(QStringLiteral("type")).isEmpty(), where.constData());
            const QString tr = xml.readElementText();
            QVERIFY2(!tr.isEmpty(), where.constData());
            QVERIFY2(matches(source, "%\\d+", true) == matches(tr, "%\\d+", true), where.constData());
            QVERIFY2(matches(source, "<[^>]+>", false) == matches(tr, "<[^>]+>", false), where.constData());
            QVERIFY2(source.count(QLatin1Char('\n')) == tr.count(QLatin1Char('\n')), where.constData());
            // A text that ends in a colon or a space is followed by something on screen.
            QVERIFY2(!source.endsWith(QLatin1Char(' ')) || tr.endsWith(QLatin1Char(' ')) || tr.endsWith(QChar(0xFF1A)),
                where.constData());
        }
        QVERIFY(entries > 100);
        for (const char* context : { "MainWindow", "CommTcp", "MessageBox", "CrashHandler", "ProgrammingPage",
                 "SettingsPage", "FixedParamPage", "DisplayLogPage", "SPTestPage", "PageRoot", "BatchProgrammingDialog",
                 "DevSearchPage", "DevSereachPage", "DialogSetIP" })
            QVERIFY2(contexts.contains(QLatin1String(context)), context);
    }
};

QTEST_APPLESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
