#pragma once

#include <QStringList>

// The commands of netquill-cli; each takes the arguments after its name and
// returns the exit code.
namespace Commands {

int version(const QStringList& arguments);
int program(const QStringList& arguments);
int backup(const QStringList& arguments);
int batch(const QStringList& arguments);

int date(const QStringList& arguments);
int ports(const QStringList& arguments);
int params(const QStringList& arguments);
int console(const QStringList& arguments);

int search(const QStringList& arguments);
int setIp(const QStringList& arguments);
int reboot(const QStringList& arguments);

} // namespace Commands
