#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// The card's fixed parameters (name, serial number, MAC address, ...): named
// string values. On the wire (read code 14, write code 15) they are one UTF-8
// JSON object, member name = key, member value = the value as a JSON string;
// on the PC they are saved as an INI file with one group "fixed_param".
namespace FixedParams {

// The one key with rules of its own: its value must be a MAC address.
QString macKey();
// The INI group that holds the parameters.
QString fileGroup();

struct Row {
    QString key;
    QString value;
    // False when the table row lacks the key or the value cell; such a row
    // is not looked at when writing.
    bool complete = true;
};

// A read reply: the members in ascending key order, a value that is not a
// JSON string as empty text. False (and `rows` untouched) unless the bytes
// are a JSON object.
bool parseReadReply(const QByteArray& json, QVector<Row>* rows);

// Six two-digit hexadecimal groups separated by colons, nothing else.
bool isMacAddress(const QString& text);

// The value of the row `key` shows once its text has changed: twelve
// characters without a colon under the exact key "ethaddr" get a colon after
// every second character; everything else stays as it is.
QString completedValue(const QString& key, const QString& value);

struct WritePlan {
    enum Outcome {
        Invalid, // nothing to send, or an "ethaddr" value that is no MAC address
        AskAboutEmpty, // sendable, but some row has an empty key or value
        Send,
    };
    Outcome outcome = Invalid;
    // The compact JSON object of every row with key and value; a later row
    // with the same key wins.
    QByteArray json;
};

WritePlan planWrite(const QVector<Row>& rows);

// Whether a backup would keep anything: some row with both key and value.
bool hasContent(const QVector<Row>& rows);

// Saves every row with key and value into the group of `path`, replacing
// what the group held; other groups of an existing file are kept. The file
// is written whole or not at all: a failure leaves it as it was. A file that
// would not load back as exactly these rows (the INI format folds the
// slashes of a key such as "/name") is a failure too.
bool saveFile(const QString& path, const QVector<Row>& rows, QString* error = nullptr);

// The rows of the group, in the order the INI reader lists the keys. A file
// without the group gives no rows; false when the file cannot be read.
bool loadFile(const QString& path, QVector<Row>* rows, QString* error = nullptr);

} // namespace FixedParams
