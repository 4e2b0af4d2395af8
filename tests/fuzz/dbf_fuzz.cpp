// The dBASE table reader on any bytes, written to a file as the import
// finds them. A damaged table is refused only with the reader's message
// naming the file; an accepted one yields at most the records its header
// counts, and every field of every live record reads within its length,
// in every form the import asks for, or is refused the same way; a field
// of a type the reader does not read (a memo) is refused by name.

#include "FuzzSupport.h"

#include "foundation/DbfFile.h"
#include "platform/Exceptions.h"

#include <QFile>

namespace {

bool OwnRefusal(const EAppException& e) { return e.Message().startsWith(QStringLiteral("Поврежден файл FUZZ.DBF: ")); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // shapelib reads through its own file calls, so the bytes go to a file.
    const QString path = FuzzScratchFolder() + QStringLiteral("FUZZ.DBF");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            FuzzFail("the scratch file can be written");
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    try {
        TDbfFile table(path);
        int live = 0;
        while (table.Next()) {
            ++live;
            for (int i = 0; i < table.FieldCount(); ++i) {
                const TDbfField& f = table.Field(i);
                // A name met twice reads as its first field.
                if (table.FieldIndex(f.Name) != i)
                    continue;
                FuzzCheck(f.Offset >= 1 && f.Length >= 0, "a field lies inside the record", f.Name);
                if (!QByteArray("CNFLD").contains(f.Type)) {
                    bool refused = false;
                    try {
                        table.Raw(f.Name);
                    } catch (const EAppException& e) {
                        refused = e.Message().endsWith(QStringLiteral(" не читается"));
                    }
                    FuzzCheck(refused, "a field of another type (a memo) is refused by name", f.Name);
                    continue;
                }
                const QByteArray raw = table.Raw(f.Name);
                FuzzCheck(raw.size() <= f.Length, "a field's bytes fit its length", f.Name);
                FuzzCheck(table.FirstByte(f.Name) == (raw.isEmpty() ? 0 : uint8_t(raw[0])),
                    "the first byte is the raw byte", f.Name);
                table.Text(f.Name);
                table.IsNull(f.Name);
                table.Logical(f.Name);
                try {
                    table.Number(f.Name);
                } catch (const EAppException& e) {
                    FuzzCheck(OwnRefusal(e), "a bad number is refused by the reader", e.Message());
                }
                try {
                    table.Date(f.Name);
                } catch (const EAppException& e) {
                    FuzzCheck(OwnRefusal(e), "a bad date is refused by the reader", e.Message());
                }
            }
        }
        FuzzCheck(live <= table.RecordCount(), "no more records than the header counts");
    } catch (const EAppException& e) {
        FuzzCheck(OwnRefusal(e), "a damaged table is refused with the reader's message", e.Message());
    }
    return 0;
}
