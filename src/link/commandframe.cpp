#include "commandframe.h"

namespace CommandFrame {

quint8 checksum(const quint8* bytes, int size)
{
    unsigned sum = 0;
    for (int i = 0; i < size; ++i)
        sum += bytes[i];
    return quint8(sum);
}

QByteArray build(int cmd, const QByteArray& data)
{
    if (data.size() > kMaxSentData)
        return QByteArray();
    const int length = data.size() + 2;
    QByteArray frame;
    frame.reserve(data.size() + kOverhead);
    frame.append(char(kStartByte));
    frame.append(char((length >> 8) & 0xFF));
    frame.append(char(length & 0xFF));
    frame.append(char((cmd >> 8) & 0xFF));
    frame.append(char(cmd & 0xFF));
    frame.append(data);
    frame.append(char(checksum(reinterpret_cast<const quint8*>(frame.constData()), frame.size())));
    return frame;
}

} // namespace CommandFrame

bool FrameAssembler::push(quint8 byte)
{
    if (m_len == 0 && byte != CommandFrame::kStartByte)
        return false;
    if (m_len == kCapacity)
        m_len = 0;
    m_buf[m_len++] = byte;
    if (m_len < 3)
        return false;
    const int declared = m_buf[1] * 256 + m_buf[2];
    if (m_len != declared + 4)
        return false;
    const bool valid = declared >= 2 && CommandFrame::checksum(m_buf, m_len - 1) == m_buf[m_len - 1];
    if (!valid)
        m_len = 0;
    return valid;
}
