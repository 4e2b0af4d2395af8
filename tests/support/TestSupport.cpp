#include "support/TestSupport.h"
#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <csignal>

#include <sys/resource.h>

QString TestArtifactsDir()
{
    QString dir = qEnvironmentVariable("QOR_TEST_ARTIFACTS");
    if (dir.isEmpty())
        dir = QStringLiteral(QOR_TEST_ARTIFACTS_DEFAULT);
    QDir().mkpath(dir);
    return dir;
}

QString SaveScreenshot(QWidget* widget, const QString& name)
{
    const QString path = TestArtifactsDir() + QLatin1Char('/') + name + QStringLiteral(".png");
    const QPixmap pm = widget->grab();
    EXPECT_FALSE(pm.isNull()) << "empty screenshot " << name.toStdString();
    EXPECT_TRUE(pm.save(path)) << "cannot save " << path.toStdString();
    return path;
}

ScopedProgramFolder::ScopedProgramFolder()
{
    EXPECT_TRUE(dir_.isValid());
    SetProgramFolder(dir_.path());
}

ScopedProgramFolder::~ScopedProgramFolder() { SetProgramFolder(QString()); }

QString ScopedProgramFolder::Path() const { return dir_.path() + QLatin1Char('/'); }

void InstallShippedTemplates(const QString& shippedTxt, const ScopedProgramFolder& folder)
{
    const QDir shipped(shippedTxt);
    QDir().mkpath(folder.File(QStringLiteral("TXT")));
    const QStringList files = shipped.entryList(QDir::Files);
    EXPECT_FALSE(files.isEmpty()) << "no templates in " << shippedTxt.toStdString();
    for (const QString& f : files)
        EXPECT_TRUE(QFile::copy(shipped.filePath(f), folder.File(QStringLiteral("TXT/") + f))) << f.toStdString();
}

void WriteFileBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray ReadFileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void ExpectReference(const QString& folder, const QString& name, const QString& actual)
{
    QFile file(QStringLiteral(QOR_SOURCE_DIR "/tests/fixtures/") + folder + QLatin1Char('/') + name);
    if (qEnvironmentVariableIsSet("QOR_UPDATE_GOLDEN")) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(actual.toUtf8());
        return;
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    const QStringList expected = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    const QStringList lines = actual.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < std::max(expected.size(), lines.size()); ++i)
        EXPECT_EQ(lines.value(i).toStdString(), expected.value(i).toStdString()) << name.toStdString() << ":" << i + 1;
}

ScopedFullDisk::ScopedFullDisk(long long bytes)
{
    rlimit lim{};
    ::getrlimit(RLIMIT_FSIZE, &lim);
    oldLimit_ = lim.rlim_cur;
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    lim.rlim_cur = static_cast<rlim_t>(bytes);
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &lim), 0);
}

ScopedFullDisk::~ScopedFullDisk()
{
    rlimit lim{};
    ::getrlimit(RLIMIT_FSIZE, &lim);
    lim.rlim_cur = static_cast<rlim_t>(oldLimit_);
    ::setrlimit(RLIMIT_FSIZE, &lim);
    std::signal(SIGXFSZ, oldHandler_);
}
