#pragma once

// What the tests share: bytes written as hex (spaces allowed), bytes as a
// reply's data, and a _data() row in one line.

#include <QtTest>

inline const auto hx = [](const QByteArray& text) { return QByteArray::fromHex(text); };
inline const auto bytes = [](const QByteArray& data) { return reinterpret_cast<const quint8*>(data.constData()); };
inline const auto row = [](const char* name, auto... v) { (QTest::newRow(name) << ... << v); };
