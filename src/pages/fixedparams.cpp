#include "fixedparams.h"

#include "link/jsontext.h"
#include "platform/safesave.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>

namespace FixedParams {

namespace {

constexpr int kBareMacLength = 12;

// A row a file keeps: one with both key and value.
bool isKept(const Row& row)
{
    return row.complete && !row.key.isEmpty() && !row.value.isEmpty();
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// The rows of the group as the INI reader gives them.
QVector<Row> readGroup(QSettings& settings)
{
    settings.beginGroup(fileGroup());
    QVector<Row> result;
    // allKeys, not childKeys: a key with a slash is stored as a subkey.
    const QStringList keys = settings.allKeys();
    result.reserve(keys.size());
    for (const QString& key : keys) {
        const QVariant value = settings.value(key);
        // An unquoted value with commas, written by hand, reads as a list.
        const QString text = value.userType() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(','))
                                                                        : value.toString();
        result.append(Row { key, text, true });
    }
    settings.endGroup();
    return result;
}

// The INI format takes "/" in a key for a group separator and folds leading,
// trailing and doubled ones away: a key such as "/name" would come back as
// "name", and a file loaded onto a card would then write parameters the card
// never had. A draft that does not read back as the rows is refused rather
// than saved as a backup that is not one.
bool readsBackAs(const QString& draft, const QVector<Row>& rows, QString* error)
{
    QMap<QString, QString> wanted; // a later row with the same key wins, as in the file
    for (const Row& row : rows) {
        if (isKept(row))
            wanted.insert(row.key, row.value);
    }
    QSettings settings(draft, QSettings::IniFormat);
    QMap<QString, QString> stored;
    for (const Row& row : readGroup(settings))
        stored.insert(row.key, row.value);
    for (auto it = wanted.constBegin(); it != wanted.constEnd(); ++it) {
        if (!stored.contains(it.key()) || stored.value(it.key()) != it.value())
            return fail(error, QStringLiteral("the parameter %1 cannot be kept in a parameter file").arg(it.key()));
    }
    if (stored.size() != wanted.size())
        return fail(error, QStringLiteral("the parameter file does not read back as written"));
    return true;
}

} // namespace

QString macKey()
{
    return QStringLiteral("ethaddr");
}

QString fileGroup()
{
    return QStringLiteral("fixed_param");
}

bool parseReadReply(const QByteArray& json, QVector<Row>* rows)
{
    QJsonParseError parseError;
    const QJsonDocument document = JsonText::parse(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || document.isNull() || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    QVector<Row> result;
    result.reserve(object.size());
    // QJsonObject iterates in ascending key order.
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        result.append(Row { it.key(), it.value().isString() ? it.value().toString() : QString(), true });
    *rows = result;
    return true;
}

bool isMacAddress(const QString& text)
{
    static const QRegularExpression mac(
        QRegularExpression::anchoredPattern(QStringLiteral("([A-Fa-f0-9]{2}:){5}[A-Fa-f0-9]{2}")));
    return mac.match(text).hasMatch();
}

QString completedValue(const QString& key, const QString& value)
{
    if (key != macKey() || value.size() != kBareMacLength || value.contains(QLatin1Char(':')))
        return value;
    QString result = value;
    for (int at = 2; at < result.size(); at += 3)
        result.insert(at, QLatin1Char(':'));
    return result;
}

WritePlan planWrite(const QVector<Row>& rows)
{
    QJsonObject object;
    bool invalid = false;
    bool emptyItem = false;
    for (const Row& row : rows) {
        if (!row.complete)
            continue;
        if (row.key == macKey() && !isMacAddress(row.value))
            invalid = true;
        // JSON keeps no member names apart that differ only behind a zero
        // character, on either side of the link.
        if (row.key.contains(QChar(0)))
            invalid = true;
        if (!row.key.isEmpty() && !row.value.isEmpty())
            object.insert(row.key, row.value);
        else
            emptyItem = true;
    }
    WritePlan plan;
    if (object.isEmpty() || invalid)
        return plan;
    plan.outcome = emptyItem ? WritePlan::AskAboutEmpty : WritePlan::Send;
    plan.json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return plan;
}

bool hasContent(const QVector<Row>& rows)
{
    return std::any_of(rows.cbegin(), rows.cend(), isKept);
}

bool saveFile(const QString& path, const QVector<Row>& rows, QString* error)
{
    // QSettings writes where it likes (and leaves a lock file beside it), so
    // the INI text is made in a private folder first and only then written
    // over the chosen file in one piece.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return fail(error, scratch.errorString());
    const QString draft = scratch.filePath(QStringLiteral("draft.ini"));
    const QFileInfo target(path);
    if (target.exists()) {
        if (!target.isFile())
            return fail(error, QStringLiteral("%1 is not a file").arg(path));
        if (!QFile::copy(path, draft))
            return fail(error, QStringLiteral("cannot read %1").arg(path));
        QFile::setPermissions(draft, QFile::ReadOwner | QFile::WriteOwner);
    }
    {
        QSettings settings(draft, QSettings::IniFormat);
        settings.remove(fileGroup());
        settings.beginGroup(fileGroup());
        for (const Row& row : rows) {
            if (isKept(row))
                settings.setValue(row.key, row.value);
        }
        settings.endGroup();
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return fail(error, QStringLiteral("cannot write the parameter file"));
    }
    if (!readsBackAs(draft, rows, error))
        return false;
    QFile made(draft);
    if (!made.open(QIODevice::ReadOnly))
        return fail(error, made.errorString());
    const QByteArray content = made.readAll();

    QString why;
    return SafeSave::write(path, content, &why) || fail(error, why);
}

bool loadFile(const QString& path, QVector<Row>* rows, QString* error)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return fail(error, QStringLiteral("%1 is not a file").arg(path));
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() == QSettings::AccessError)
        return fail(error, QStringLiteral("cannot read %1").arg(path));
    *rows = readGroup(settings);
    return true;
}

} // namespace FixedParams
