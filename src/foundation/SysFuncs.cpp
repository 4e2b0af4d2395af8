#include "foundation/SysFuncs.h"

#include "platform/Clock.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

void ProcessMessagesEvery(uint32_t& LastTick, uint32_t Interval)
{
    const uint32_t now = GetTickCount();
    if (now < LastTick || now - LastTick >= Interval) {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
        LastTick = now;
    }
}

QString GetLastErrorText() { return GetLastErrorText(errno); }

QString GetLastErrorText(int Code)
{
    char buf[4096];
    // The GNU strerror_r answers a pointer that may or may not be buf.
    const char* text = strerror_r(Code, buf, sizeof buf);
    return QString::fromLocal8Bit(text).left(4096);
}
