// The language chosen at start-up from config/settings.ini.

#include "app/startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

class TestStartUp : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void language_data();
    void language();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldCwd;
};

void TestStartUp::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_oldCwd = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
}

void TestStartUp::cleanup()
{
    QDir::setCurrent(m_oldCwd);
    m_dir.reset();
}

void TestStartUp::language_data()
{
    QTest::addColumn<QVariant>("stored"); // invalid: no key
    QTest::addColumn<bool>("catalogue"); // translations/zh.qm present
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("afterwards");
    QTest::addColumn<bool>("installed");
    QTest::newRow("first start") << QVariant() << true << 0 << QStringLiteral("English") << false;
    QTest::newRow("English") << QVariant(QStringLiteral("English")) << true << 0 << QStringLiteral("English") << false;
    QTest::newRow("empty means English") << QVariant(QString()) << true << 0 << QString() << false;
    QTest::newRow("lower-case chinese") << QVariant(QStringLiteral("chinese")) << true << 0 << QStringLiteral("chinese")
                                        << false;
    QTest::newRow("Chinese") << QVariant(QStringLiteral("Chinese")) << true << 1 << QStringLiteral("Chinese") << true;
    QTest::newRow("Chinese without catalogue")
        << QVariant(QStringLiteral("Chinese")) << false << 1 << QStringLiteral("Chinese") << false;
}

void TestStartUp::language()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, catalogue);
    QFETCH(int, index);
    QFETCH(QString, afterwards);
    QFETCH(bool, installed);

    if (catalogue) {
        QDir().mkpath(QStringLiteral("translations"));
        QVERIFY(QFile::copy(QStringLiteral(NETQUILL_QM_DIR "/zh.qm"), QStringLiteral("translations/zh.qm")));
    }
    QDir().mkpath(QStringLiteral("config"));
    if (stored.isValid()) {
        QSettings s(QString::fromLatin1(StartUp::kSettingsFile), QSettings::IniFormat);
        s.setValue(QStringLiteral("language"), stored);
    }

    QSettings settings(QString::fromLatin1(StartUp::kSettingsFile), QSettings::IniFormat);
    QTranslator translator;
    QCOMPARE(StartUp::applyLanguage(settings, translator), index);
    settings.sync();
    QCOMPARE(QSettings(QString::fromLatin1(StartUp::kSettingsFile), QSettings::IniFormat)
                 .value(QStringLiteral("language"))
                 .toString(),
        afterwards);
    QCOMPARE(!translator.filePath().isEmpty(), installed);
    QCOMPARE(QCoreApplication::removeTranslator(&translator), installed);
}

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
