// Pay-sheet definitions' stored bytes. The first byte picks the reader:
//  - the INFO stream (T_RasVedBase::LoadFromBytes): a damaged one is
//    refused by name and leaves the definition as it was; one accepted is
//    written and read again to the same bytes;
//  - Bin rows of CLASS 3 loaded by T_RasVedList::LoadAll: rows of a VID
//    byte, a 2-byte length and the INFO bytes. Every sound row loads under
//    its VID; each damaged one is reported once and the others still load.

#include "FuzzSupport.h"

#include "data/DatModl.h"
#include "db/Cursor.h"
#include "db/Transaction.h"
#include "platform/Exceptions.h"
#include "reports/RasVed.h"

#include <QtEndian>

#include <map>

namespace {

bool KnownRefusal(const QString& message)
{
    return message == QStringLiteral("Неверная версия") || message == QStringLiteral("Stream read error")
        || message == QStringLiteral("ReadString: Ошибка чтения");
}

void Stream(const QByteArray& bytes)
{
    T_RasVed ved;
    ved.Name = QStringLiteral("before");
    ved.AddColumn()->AddInteger(1);
    const QByteArray before = ved.SaveToBytes();
    try {
        ved.LoadFromBytes(bytes);
    } catch (const Exception& e) {
        FuzzCheck(KnownRefusal(e.Message()), "a damaged definition is refused by name", e.Message());
        FuzzCheck(ved.SaveToBytes() == before, "a refused definition stays as it was");
        return;
    }
    const QByteArray written = ved.SaveToBytes();
    T_RasVed again;
    again.LoadFromBytes(written);
    FuzzCheck(again.SaveToBytes() == written, "a definition read is written and read again to the same bytes",
        QString::fromLatin1(bytes.toHex()));
}

bool Sound(const QByteArray& info)
{
    try {
        T_RasVed ved;
        ved.LoadFromBytes(info);
    } catch (const Exception&) {
        return false;
    }
    return true;
}

void Rows(FuzzInput& in)
{
    std::map<int, QByteArray> stored;
    {
        Cursor bin(QStringLiteral("Bin"));
        bin.Open();
        {
            Transaction t({&bin});
            BinSetRange(bin, {Variant(int(binPaySheets))});
            while (!bin.IsEmpty())
                bin.Delete();
            t.Commit();
        }
        bin.CancelRange();
        while (!in.Empty()) {
            TBinKey key;
            key.Class = binPaySheets;
            key.Vid = in.Byte() % 4;
            const QByteArray len = in.Bytes(2).leftJustified(2, '\0');
            const QByteArray info = in.Bytes(qFromLittleEndian<quint16>(len.constData()));
            BinWrite(bin, key, 0, info);
            stored[key.Vid] = info;
        }
    }
    int sound = 0;
    for (const auto& [vid, info] : stored)
        sound += Sound(info) ? 1 : 0;

    const int before = FuzzMessageCount();
    T_RasVedList list;
    list.LoadAll();
    FuzzCheck(
        list.Count() == sound, "every sound definition loads", QStringLiteral("%1 of %2").arg(list.Count()).arg(sound));
    FuzzCheck(FuzzMessageCount() - before == int(stored.size()) - sound, "each damaged definition is reported once");
    for (const T_RasVed* ved : list) {
        const auto it = stored.find(ved->Number);
        FuzzCheck(it != stored.end(), "a definition has its row's number");
        T_RasVed direct;
        direct.LoadFromBytes(it->second);
        direct.Number = ved->Number;
        FuzzCheck(direct.SaveToBytes() == ved->SaveToBytes(), "a definition is loaded as its row holds it");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzOpenDataBase();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    if (in.Byte() % 2 == 0)
        Stream(in.Rest());
    else
        Rows(in);
    return 0;
}
