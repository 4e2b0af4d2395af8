#include "reports/RasVedImport.h"

#include "data/DatModl.h"
#include "db/Cursor.h"
#include "db/Session.h"
#include "db/Transaction.h"
#include "platform/Exceptions.h"
#include "reports/RasVed.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int kTitleLength = 27;
constexpr int kFlags = 199;

} // namespace

int OldPaySheetColumnNumber(const QString& name)
{
    if (!name.startsWith(QStringLiteral("GRAF"), Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int number = name.mid(4, 2).toInt(&ok);
    return ok && number > 0 ? number : 0;
}

int ReadOldPaySheet(const TClipperMVA& ras, T_RasVedBase& sheet, const TImportErrorSink& error)
{
    std::vector<std::pair<int, int>> columns; // number, variable
    for (int i = 0; i < ras.Count(); ++i) {
        if (const int number = OldPaySheetColumnNumber(ras.Items(i).Name))
            columns.emplace_back(number, i);
    }
    std::stable_sort(columns.begin(), columns.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    int read = 0;
    for (const auto& [number, index] : columns) {
        const TClipperMemVar& v = ras.Items(index);
        if (v.VarType != 'C') {
            if (error)
                error(QStringLiteral("Ошибка при сохранении столбца №%1 основной расчетной ведомости").arg(number));
            continue;
        }
        const QString text = v.Value.AsString();
        auto* column = new T_RasVedItem;
        sheet.AddObject(column);
        column->Name = text.left(kTitleLength).trimmed();
        if (!text.trimmed().isEmpty()) {
            const int offset = number <= 6 ? 0 : kFlags;
            for (int i = 1; i <= kFlags && kTitleLength + i <= text.size(); ++i) {
                if (text[kTitleLength + i - 1] == QLatin1Char('1'))
                    column->AddInteger(i + offset);
            }
        }
        ++read;
    }
    return read;
}

bool ImportOldPaySheet(const TClipperMVA& ras, const TImportErrorSink& error)
{
    T_RasVed sheet;
    if (ReadOldPaySheet(ras, sheet, error) == 0)
        return false;
    // Number 0: the payment sheet by calculation results pays by it.
    sheet.Number = 0;
    sheet.Name = kOldPaySheetName;
    try {
        {
            Cursor bin(QStringLiteral("Bin"));
            bin.SetIndexName(BinIndexName());
            bin.Open();
            Transaction tx({&bin});
            bin.SetRange({int(binPaySheets)}, {int(binPaySheets)});
            while (!bin.IsEmpty())
                bin.Delete();
            bin.CancelRange();
            sheet.Save();
            tx.Commit();
        }
        DbSession::RefreshAll(QStringLiteral("Bin"));
    } catch (const EAbort&) {
        throw;
    } catch (const Exception& e) {
        if (error)
            error(QStringLiteral("Ошибка при сохранении основной расчетной ведомости\r\n") + e.Message());
        return false;
    }
    return true;
}
