#include "ipaddresspattern.h"

namespace IpAddressPattern {

const char* const kPattern
    = R"(((25[0-5]|2[0-4]\d|((1\d{2})|([1-9]?\d)))\.){3}(25[0-5]|2[0-4]\d|((1\d{2})|([1-9]?\d))))";

const QRegularExpression& ipRegExp()
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(QString::fromLatin1(kPattern)));
    return re;
}

bool matches(const QString& text)
{
    return ipRegExp().match(text).hasMatch();
}

} // namespace IpAddressPattern
