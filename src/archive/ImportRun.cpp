#include "archive/ImportRun.h"

#include "db/Cursor.h"
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
    run.Error(table.TableName() + QStringLiteral("\r\n") + e.Message());
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
