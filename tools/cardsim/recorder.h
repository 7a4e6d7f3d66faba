#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QMutex>
#include <QVector>

// Records every frame a simulated card receives and sends, and every
// connection it accepts or loses, as JSON lines:
//   {"t":12,"card":"127.0.0.1","conn":1,"dir":"in","cmd":2,"size":0,"data":"","frame":"680002...."}
//   {"t":13,"card":"127.0.0.1","conn":1,"event":"closed","by":"card"}
// "t" is milliseconds since the simulator started; "data" and "frame" are
// lower-case hex, cut to the configured limit ("truncated":true then).
// Thread-safe: tests read it while the simulator runs in its own thread.
class Recorder {
public:
    Recorder();

    bool openFile(const QString& path, QString* error);
    void setKeepInMemory(bool keep) { m_keepInMemory = keep; }
    void setDataLimit(int bytes) { m_dataLimit = bytes; }

    void frame(const QString& card, int conn, bool incoming, int cmd, const QByteArray& data, const QByteArray& frame);
    void event(const QString& card, int conn, const QString& name, const QJsonObject& extra = QJsonObject());

    QVector<QJsonObject> records() const;
    void clear();

private:
    void add(QJsonObject record);

    mutable QMutex m_mutex;
    QElapsedTimer m_clock;
    QFile m_file;
    QVector<QJsonObject> m_records;
    bool m_keepInMemory = false;
    int m_dataLimit = 4096;
};
