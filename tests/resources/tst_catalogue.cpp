// The Chinese catalogue as a technician meets it: every entry translated,
// placeholders, markup and line breaks intact. (The compiled catalogue is
// met on every page by the main window's language test.)

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Entry {
    QString context;
    QString source;
    QString translation;
    QString type;
};

QList<Entry> readCatalogue(const QString& path)
{
    QList<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    QXmlStreamReader xml(&file);
    QString context;
    Entry entry;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            entry = Entry { context, {}, {}, {} };
        } else if (xml.name() == QLatin1String("source")) {
            entry.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            entry.type = xml.attributes().value(QStringLiteral("type")).toString();
            entry.translation = xml.readElementText();
            entries.append(entry);
        }
    }
    return entries;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList matches(const QString& text, const QRegularExpression& re)
{
    QStringList found;
    auto it = re.globalMatch(text);
    while (it.hasNext())
        found.append(it.next().captured());
    return found;
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

private slots:
    void everyEntryKeepsItsForm()
    {
        const QList<Entry> entries = readCatalogue(QStringLiteral(NETQUILL_TS_FILE));
        QVERIFY(entries.size() > 100);
        const QRegularExpression placeholder(QStringLiteral("%\\d+"));
        const QRegularExpression tag(QStringLiteral("<[^>]+>"));
        QSet<QString> contexts;
        for (const Entry& e : entries) {
            contexts.insert(e.context);
            const QByteArray where = (e.context + QStringLiteral(": ") + e.source).toUtf8();
            QVERIFY2(e.type.isEmpty(), where.constData());
            QVERIFY2(!e.translation.isEmpty(), where.constData());
            QVERIFY2(sorted(matches(e.source, placeholder)) == sorted(matches(e.translation, placeholder)),
                where.constData());
            QVERIFY2(matches(e.source, tag) == matches(e.translation, tag), where.constData());
            QVERIFY2(e.source.count(QLatin1Char('\n')) == e.translation.count(QLatin1Char('\n')), where.constData());
            // A text that ends in a colon or a space is followed by something on screen.
            if (e.source.endsWith(QLatin1Char(' ')))
                QVERIFY2(e.translation.endsWith(QLatin1Char(' ')) || e.translation.endsWith(QChar(0xFF1A)),
                    where.constData());
        }
        for (const char* context : { "MainWindow", "CommTcp", "MessageBox", "CrashHandler", "ProgrammingPage",
                 "SettingsPage", "FixedParamPage", "DisplayLogPage", "SPTestPage", "PageRoot", "BatchProgrammingDialog",
                 "DevSearchPage", "DevSereachPage", "DialogSetIP" })
            QVERIFY2(contexts.contains(QLatin1String(context)), context);
    }
};

QTEST_APPLESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
