// The predecessor's pay sheet QO.RAS on any bytes: a memory file the
// reader refuses stops there; one it accepts gives columns in number order,
// never more than its variables, whose titles fit 27 characters and whose
// accruals are in range (1..199 in columns 1-6, 200..398 after), ascending
// and each once. An error line is given only for a column not of text.

#include "FuzzSupport.h"

#include "foundation/ClMem.h"
#include "platform/Exceptions.h"
#include "reports/RasVed.h"
#include "reports/RasVedImport.h"

#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    TClipperMVA ras;
    try {
        LoadClipperMemBytes(bytes, ras);
    } catch (const EAppException&) {
        return 0;
    }
    std::vector<int> numbers; // of the text columns, in file order
    int notText = 0;
    for (int i = 0; i < ras.Count(); ++i) {
        if (const int n = OldPaySheetColumnNumber(ras.Items(i).Name)) {
            FuzzCheck(n >= 1 && n <= 99, "a column number has two digits", ras.Items(i).Name);
            if (ras.Items(i).VarType == 'C')
                numbers.push_back(n);
            else
                ++notText;
        }
    }
    std::sort(numbers.begin(), numbers.end());
    int errors = 0;
    T_RasVedBase sheet;
    const int read = ReadOldPaySheet(ras, sheet, [&](const QString&) { ++errors; });
    FuzzCheck(read == sheet.ColumnCount() && read == int(numbers.size()), "every text column is read",
        QStringLiteral("%1 of %2").arg(read).arg(numbers.size()));
    FuzzCheck(errors == notText, "one error line a column not of text");
    for (int c = 0; c < sheet.ColumnCount(); ++c) {
        const T_RasVedItem& column = *sheet.Column(c);
        FuzzCheck(column.Name.size() <= 27, "a title fits 27 characters", column.Name);
        const int low = numbers[size_t(c)] <= 6 ? 1 : 200;
        int last = low - 1;
        for (int i = 0; i < column.Count(); ++i) {
            const int a = column.GetInteger(i);
            FuzzCheck(a > last && a <= low + 198, "accruals in range, ascending, each once",
                QStringLiteral("column %1: %2").arg(numbers[size_t(c)]).arg(a));
            last = a;
        }
    }
    return 0;
}
