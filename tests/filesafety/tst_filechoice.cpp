// Where the file dialogs open, the names they suggest and the suffix a typed
// name gets; the dialogs answered through the seam, the folders real.

#include "platform/filechoice.h"
#include "support/boxrecorder.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestFileChoice : public QObject {
    Q_OBJECT

private slots:
    void folderPerPurpose()
    {
        QTemporaryDir root;
        QDir dir(root.path());
        for (const char* folder : { "first", "images", "backups" })
            QVERIFY(dir.mkdir(QLatin1String(folder)));
        DialogPrompt::setFolderMemory(dir.filePath(QStringLiteral("config/settings.ini")));
        BoxRecorder recorder;
        const QString first = dir.filePath(QStringLiteral("first"));
        const auto open = [&](const char* purpose, const char* answer, const QString& start) {
            recorder.answerDialog(answer ? dir.filePath(QLatin1String(answer)) : QString());
            DialogPrompt::openFileName(nullptr, QString(), start, QString(), purpose);
            return dir.relativeFilePath(recorder.dialogs.last().directory);
        };
        QCOMPARE(open(DialogPrompt::kImage, nullptr, first), "first"); // cancelled: nothing kept
        QCOMPARE(open(DialogPrompt::kImage, "images/a.bin", first), "first");
        QCOMPARE(open(DialogPrompt::kBackup, "backups/b.bin", first), "first");
        QCOMPARE(open(DialogPrompt::kImage, nullptr, first), "images");
        QCOMPARE(open(DialogPrompt::kBackup, nullptr, first), "backups");
        QCOMPARE(QSettings(dir.filePath(QStringLiteral("config/settings.ini")), QSettings::IniFormat)
                     .value(QStringLiteral("FileDialogs/backup")),
            QVariant(dir.filePath(QStringLiteral("backups"))));
        QVERIFY(QDir(dir.filePath(QStringLiteral("images"))).removeRecursively());
        QCOMPARE(open(DialogPrompt::kImage, nullptr, first), "first");
        // The image named in the path field is where its dialog opens.
        QFile field(dir.filePath(QStringLiteral("backups/field.bin")));
        QVERIFY(field.open(QIODevice::WriteOnly));
        QCOMPARE(open(DialogPrompt::kImage, nullptr, field.fileName()), "backups/field.bin");
        DialogPrompt::setFolderMemory(QString());
    }

    void typedNameGetsSuffix_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<int>("replace"); // the answer when the name with suffix exists
        const auto row = [](const char* name, const char* typed, const char* filter, const char* saved, int replace) {
            QTest::newRow(name) << typed << filter << saved << replace;
        };
        row("no suffix", "params", "(*.ini)", "params.ini", -1);
        row("address holds dots", "10.0.0.2_params", "(*.ini)", "10.0.0.2_params.ini", -1);
        row("suffix in other case", "params.INI", "(*.ini)", "params.INI", -1);
        row("first of the filters", "img", "Binary Files(*.bin);;*", "img.bin", -1);
        row("any of the patterns", "list.csv", "(*.txt *.csv)", "list.csv", -1);
        row("filter without suffix", "img", "*", "img", -1);
        row("exists, replaced", "old", "(*.ini)", "old.ini", int(QMessageBox::Yes));
        row("exists, kept: asked again", "old", "(*.ini)", "", int(QMessageBox::No));
    }
    void typedNameGetsSuffix()
    {
        QFETCH(QString, typed);
        QFETCH(QString, filter);
        QFETCH(QString, saved);
        QFETCH(int, replace);
        QTemporaryDir dir;
        QFile(dir.filePath(QStringLiteral("old.ini"))).open(QIODevice::WriteOnly);
        BoxRecorder recorder;
        recorder.answerDialog(dir.filePath(typed));
        recorder.answerNext(replace);
        const QString path = DialogPrompt::saveFileName(nullptr, QString(), dir.path(), filter);
        QCOMPARE(path, saved.isEmpty() ? QString() : dir.filePath(saved));
        QCOMPARE(recorder.boxes.size(), replace < 0 ? 0 : 1);
        // Kept, the dialog opens again on the name asked about (then cancelled).
        QCOMPARE(recorder.dialogs.size(), replace == QMessageBox::No ? 2 : 1);
        QCOMPARE(recorder.dialogs.last().suggestedName, replace == QMessageBox::No ? "old.ini" : "");
    }

    void suggestedNames()
    {
        const QDateTime when(QDate(2026, 12, 7), QTime(9, 5, 3));
        QCOMPARE(FileChoice::backupName(QStringLiteral("192.168.1.10"), 1, when),
            "192.168.1.10_Firmware_20261207-090503.bin");
        QCOMPARE(FileChoice::backupName(QString(), 3, when), "root_20261207-090503.bin");
        QCOMPARE(FileChoice::parameterName(QStringLiteral("10.0.0.2")), "10.0.0.2_params.ini");
        QCOMPARE(FileChoice::reportName(QStringLiteral("csv"), when), "batch_20261207-090503.csv");
    }
};

QTEST_MAIN(TestFileChoice)
#include "tst_filechoice.moc"
