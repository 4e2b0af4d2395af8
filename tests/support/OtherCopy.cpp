#include "support/OtherCopy.h"

OtherCopy::OtherCopy(const QString& folder, bool network)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(
        QStringLiteral(QOR_LOCK_HELPER), {folder, network ? QStringLiteral("network") : QStringLiteral("local")});
    started_ = process_.waitForStarted(10000);
}

OtherCopy::~OtherCopy()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.write("quit\n");
        if (!process_.waitForFinished(10000))
            process_.kill();
    }
}

QString OtherCopy::Ask(const char* command)
{
    process_.write(command);
    process_.write("\n");
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(10000))
            return QStringLiteral("no answer");
    }
    return QString::fromUtf8(process_.readLine()).trimmed();
}
