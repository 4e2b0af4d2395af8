#include "archive/ImportRun.h"

#include "data/TableCatalogue.h"
#include "db/Cursor.h"
#include "db/FolderWrites.h"
#include "platform/Exceptions.h"

#include <algorithm>
#include <cmath>

void TImportRun::BeginStage(const QString& name)
{
    if (OnStage)
        OnStage(name);
    if (OnProgress)
        OnProgress(0);
    if (OnIdle)
        OnIdle();
}

void TImportRun::Step(int count, int total)
{
    const int percent = total > 0 ? int(std::lround(double(count) * 100.0 / total)) : 0;
    if (OnProgress)
        OnProgress(std::clamp(percent, 0, 100));
    if (OnIdle)
        OnIdle();
}

void TImportRun::Count(const QString& name, int add)
{
    const int value = Counter(name) + add;
    counters_.SetValue(name, value == 0 ? Variant::Null() : Variant(value));
}

int TImportRun::Counter(const QString& name) const
{
    return counters_.IndexOf(name) >= 0 ? counters_.GetValue(name).AsInteger() : 0;
}

void ImportRowFailed(Cursor& table, const Exception& e, TImportRun& run, const QString& counter)
{
    try {
        if (table.State() != CursorState::Browse)
            table.Cancel();
    } catch (const Exception&) {
    }
    // No row after it could be stored: the import ends at the first.
    if (dynamic_cast<const EFolderNotWritable*>(&e) != nullptr)
        throw EFolderNotWritable(e.Message());
    run.Error(ImportHeading(table.TableName()) + QStringLiteral("\r\n") + e.Message());
    run.Count(counter);
}

bool AppendImportRow(Cursor& table, TImportRun& run, const QString& counter, const std::function<void()>& fill)
{
    try {
        table.Append();
        fill();
        table.Post();
        return true;
    } catch (const Exception& e) {
        ImportRowFailed(table, e, run, counter);
        return false;
    }
}

void SetField(Cursor& table, const char* name, const Variant& value)
{
    table.FieldByName(QLatin1String(name)).SetVariant(value);
}

QString ImportHeading(const QString& table)
{
    if (TableStructures().NumberOf(table) < 0)
        return table;
    QString caption = TableCaption(table);
    if (!caption.isEmpty())
        caption[0] = caption[0].toUpper();
    return caption;
}

QString ImportCounterCaption(const QString& name)
{
    static const struct {
        const char* name;
        const char* caption;
    } kKnown[] = {
        {"CFG_NGLB", "Табельный номер главного бухгалтера в QO"},
        {"CFG_NRUK", "Табельный номер руководителя в QO"},
        {"CFG_MAXCAL", "Календарей в QO"},
        {"CFG_MAXPN", "Строк в шкале подоходного налога"},
        {"CFG_AMAXPN", "Шкал подоходного налога"},
        {"PX_PNSTR", "Вычеты подоходного налога"},
        {"SP", "Подразделения: не записано"},
        {"DP", "Виды начислений и удержаний: не записано"},
        {"DPT", "Таблицы начислений: не записано"},
        {"SR", "Карточки работников: не записано"},
        {"SRD", "Постоянные начисления: не записано"},
        {"PNT", "Виды подоходного налога: не записано"},
        {"PN", "Шкалы подоходного налога: не записано"},
        {"PNL", "Строки шкал подоходного налога: не записано"},
        {"VV", "Входные данные (VVOD.DBF): не записано строк"},
        {"VV_NOTFOUND", "Входные данные (VVOD.DBF): работник не найден"},
        {"VVARC", "Архив входных данных (VVODP.DBF): не записано строк"},
        {"VVARC_NOTFOUND", "Архив входных данных (VVODP.DBF): работник не найден"},
    };
    for (const auto& k : kKnown)
        if (name.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(k.caption);
    // The result files count under their own names.
    static const QString kNotFound = QStringLiteral("_NOTFOUND");
    if (name.endsWith(kNotFound, Qt::CaseInsensitive))
        return QStringLiteral("Результаты расчета (%1.DBF): работник не найден")
            .arg(name.left(name.size() - kNotFound.size()));
    return QStringLiteral("Результаты расчета (%1.DBF): особые коды и не записанные строки").arg(name);
}
