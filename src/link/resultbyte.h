#pragma once

#include <QtGlobal>

// A reply whose data is one result byte: 0 means failure, any other value
// success. A reply that carries no data byte at all is a failure too; nothing
// beyond the data is ever read.
namespace ResultByte {

inline bool succeeded(const quint8* data, int size)
{
    return size >= 1 && data && data[0] != 0;
}

} // namespace ResultByte
