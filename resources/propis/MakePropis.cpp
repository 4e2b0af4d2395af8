// Builds the amount-in-words table "PROPIS.DB" from its seed:
//   qor_make_propis <seed.tsv> <folder>
// The table is made beside the target first and renamed over it only when
// complete, so an interrupted build leaves no half-filled table.

#include "data/Money.h"
#include "db/Tables.h"
#include "platform/Exceptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: qor_make_propis <seed.tsv> <folder>\n");
        return 2;
    }
    QList<TPropisRow> rows;
    QString error;
    if (!ReadPropisSeed(args[1], rows, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString folder = QDir(args[2]).absolutePath();
    try {
        if (!QDir().mkpath(folder))
            throw Exception(QStringLiteral("cannot create ") + folder);
        QTemporaryDir work(folder + QStringLiteral("/.propis-XXXXXX"));
        if (!work.isValid())
            throw Exception(QStringLiteral("cannot create a work folder in ") + folder);
        BuildPropisTable(rows, work.path());
        const QString target = folder + QStringLiteral("/PROPIS.DB");
        QFile::remove(target);
        if (!QFile::rename(Tables::FilePath(QStringLiteral("PROPIS"), work.path()), target))
            throw Exception(QStringLiteral("cannot write ") + target);
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        return 1;
    }
    return 0;
}
