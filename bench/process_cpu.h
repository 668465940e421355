#pragma once

// What a process has cost the CPU so far, read from /proc.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <unistd.h>

namespace quadtherm::bench {

// User plus system time of a process, in clock ticks; -1 once it is gone.
inline qint64 cpuTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The command name may hold spaces: fields count from after its ')',
    // state first, utime the 12th and stime the 13th.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return fields[11].toLongLong() + fields[12].toLongLong();
}

// The same in seconds; negative once it is gone.
inline double cpuSeconds(qint64 pid) {
    const qint64 ticks = cpuTicks(pid);
    return ticks < 0 ? -1 : double(ticks) / double(::sysconf(_SC_CLK_TCK));
}

} // namespace quadtherm::bench
