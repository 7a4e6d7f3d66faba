#pragma once

// What the link's and the pages' tables share: bytes written as hex, and a
// _data() row in one line.

#include <QtTest>

inline const auto hx = [](const char* text) { return QByteArray::fromHex(text); };
inline const auto row = [](const char* name, auto... v) { (QTest::newRow(name) << ... << v); };
