#include "archive/ImportErrors.h"

#include "platform/Codec.h"
#include "platform/Exceptions.h"

#include <QDir>
#include <QFile>

namespace {

QString Dashes() { return QString(57, QLatin1Char('-')); }

} // namespace

QString TImportErrorList::FileName(int number) const
{
    return QDir(folder_).filePath(QStringLiteral("ImportEr.%1").arg(number, 3, 10, QLatin1Char('0')));
}

void TImportErrorList::New()
{
    QDir dir(folder_);
    for (const QString& name : dir.entryList({QStringLiteral("ImportEr.*")}, QDir::Files))
        dir.remove(name);
    number_ = 0;
    errorCount_ = 0;
    started_ = true;
    continued_ = false;
    Header();
}

void TImportErrorList::Header()
{
    lines_ = {Dashes(), QStringLiteral("|       Файл ошибок импорта данных №%1").arg(number_), Dashes()};
}

void TImportErrorList::Add(const QString& text)
{
    if (text == NewCommand())
        return New();
    if (text == SaveCommand())
        return Save();
    if (text == FreeCommand())
        return Free();
    if (!started_)
        New();
    lines_ << text;
    ++errorCount_;
    if (lines_.size() >= kMaxLines)
        Save();
}

void TImportErrorList::Save()
{
    if (!started_)
        New();
    Write(QStringLiteral("|       Список продолжается в следующем файле..."));
    ++number_;
    continued_ = true;
    Header();
}

void TImportErrorList::Free()
{
    if (started_ && (lines_.size() > 3 || continued_))
        Write(QStringLiteral("|                        Конец"));
    lines_.clear();
    started_ = false;
    continued_ = false;
}

void TImportErrorList::Write(const QString& footer)
{
    const QStringList all = lines_ + QStringList{Dashes(), footer, Dashes()};
    QFile f(FileName(number_));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EInOutError(QStringLiteral("Не удается записать файл ") + f.fileName());
    f.write(ToCp1251(all.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
}
