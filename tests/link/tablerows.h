#pragma once

// What the link's and the pages' tests share: bytes written as hex, bytes as a
// reply's data, and a _data() row in one line.

#include <QtTest>

inline const auto hx = [](const char* text) { return QByteArray::fromHex(text); };
inline const auto bytes = [](const QByteArray& data) { return reinterpret_cast<const quint8*>(data.constData()); };
inline const auto row = [](const char* name, auto... v) { (QTest::newRow(name) << ... << v); };
