#include "reports/RenderedPages.h"

#include "foundation/FileFuncs.h"
#include "platform/Exceptions.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

const QString kStreamReadError = QStringLiteral("Stream read error");
const QString kWindowsMetafilePages = QStringLiteral(
    "Файл записан программой для Windows: его страницы (метафайлы Windows) на этой платформе не читаются");

namespace {

constexpr int kHeaderSize = 112;
constexpr int kCountAt = 112;
constexpr int kRecordsAt = 124;
constexpr int kQrpPagesAt = 372;
// A record holds at least its page number, its end and its trailer.
constexpr int kSmallestRecord = 12;
// The payload's magic; its last letter is the format version.
const QByteArray kMagic = QByteArrayLiteral("QPG1");
constexpr int kPayloadHead = 16; // magic, width, height, picture length
constexpr int kLargestSheet = 32767;

void PutInt(QByteArray& out, qint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void PatchInt(QByteArray& out, qsizetype at, qint32 v) { qToLittleEndian(v, out.data() + at); }

[[noreturn]] void ReadError() { throw EReadError(kStreamReadError); }

// The bytes of a file, read with bounds checked at every step.
class TReader {
public:
    explicit TReader(const QByteArray& bytes) : b_(bytes) {}
    qsizetype Size() const { return b_.size(); }
    qsizetype Pos() const { return pos_; }
    void Seek(qsizetype pos)
    {
        if (pos < 0 || pos > b_.size())
            ReadError();
        pos_ = pos;
    }
    qint32 Int()
    {
        Need(4);
        const qint32 v = qFromLittleEndian<qint32>(b_.constData() + pos_);
        pos_ += 4;
        return v;
    }
    QByteArray Bytes(qsizetype n)
    {
        Need(n);
        QByteArray r = b_.mid(pos_, n);
        pos_ += n;
        return r;
    }
    bool Has(qsizetype n) const { return n >= 0 && b_.size() - pos_ >= n; }
    const char* Here() const { return b_.constData() + pos_; }

private:
    void Need(qsizetype n) const
    {
        if (!Has(n))
            ReadError();
    }
    const QByteArray& b_;
    qsizetype pos_ = 0;
};

// A Windows enhanced metafile starts with its header record (type 1)
// whose signature " EMF" stands at byte 40.
bool IsWindowsMetafile(const TReader& r)
{
    return r.Has(44) && qFromLittleEndian<quint32>(r.Here()) == 1 && QByteArray(r.Here() + 40, 4) == " EMF";
}

// Qt's own check of a picture (magic, checksum, version) before it is ever
// played, so a damaged page is a read error and not an empty page.
bool ValidPicture(const QByteArray& data)
{
    if (data.size() < 12 || !data.startsWith("QPIC"))
        return false;
    QDataStream s(data);
    s.skipRawData(4);
    quint16 sum = 0, major = 0, minor = 0;
    s >> sum >> major >> minor;
    const quint16 check = qChecksum(QByteArrayView(data.constData() + 6, data.size() - 6));
    return sum == check && major >= 1 && major <= QDataStream::Qt_DefaultCompiledVersion;
}

void ReadPayload(TReader& r, TPageInfo& page)
{
    if (IsWindowsMetafile(r))
        throw EReadError(kWindowsMetafilePages);
    if (r.Bytes(4) != kMagic)
        ReadError();
    const qint32 w = r.Int();
    const qint32 h = r.Int();
    const qint32 n = r.Int();
    if (w < 1 || h < 1 || w > kLargestSheet || h > kLargestSheet || n < 0)
        ReadError();
    const QByteArray data = r.Bytes(n);
    if (!ValidPicture(data))
        ReadError();
    page.Sheet = QSize(w, h);
    page.Orientation = w > h ? 1 : 0;
    page.Picture.setData(data.constData(), uint(data.size()));
}

void ReadRep(TReader& r, bool forceFlag0, TRenderedPages& into, const TPagesProgress& progress)
{
    if (r.Size() < kRecordsAt)
        ReadError();
    into.Margins = !forceFlag0 && r.Bytes(1).at(0) != 0;
    r.Seek(kCountAt);
    const qint32 n = r.Int();
    if (n < 0 || n > (r.Size() - kRecordsAt) / kSmallestRecord)
        ReadError();
    // The first record's page number is skipped as every later one is; a
    // file of no pages ends with its header (as it is written).
    if (n > 0)
        r.Seek(kRecordsAt + 4);
    for (int i = 0; i < n; ++i) {
        const qint32 end = r.Int();
        TPageInfo page;
        ReadPayload(r, page);
        if (end < r.Pos() + 4 || end > r.Size())
            ReadError();
        into.Pages.push_back(std::move(page));
        if (progress)
            progress((i + 1) * 100 / n);
        if (i + 1 < n)
            r.Seek(qsizetype(end) + 4);
    }
}

void ReadQrp(TReader& r, TRenderedPages& into, const TPagesProgress& progress)
{
    into.Margins = false;
    r.Seek(kQrpPagesAt);
    while (r.Pos() < r.Size()) {
        TPageInfo page;
        ReadPayload(r, page);
        r.Seek(r.Pos() + 4);
        into.Pages.push_back(std::move(page));
        if (progress)
            progress(int(r.Pos() * 100 / r.Size()));
    }
}

} // namespace

QByteArray PictureBytes(const QPicture& picture) { return QByteArray(picture.data(), qsizetype(picture.size())); }

TPagesFileKind PagesFileKind(const QString& fileName)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == QLatin1String("qrp"))
        return TPagesFileKind::Qrp;
    if (ext == QLatin1String("qr"))
        return TPagesFileKind::Qr;
    return TPagesFileKind::Rep;
}

QByteArray WriteRenderedPages(bool margins, const std::vector<const TPageInfo*>& pages, const TPagesProgress& progress)
{
    QByteArray out(kHeaderSize, '\0');
    out[0] = margins ? 1 : 0;
    const int n = int(pages.size());
    PutInt(out, n);
    out.append(out.left(8));
    const QByteArray trailer = out.left(4);
    for (int i = 0; i < n; ++i) {
        const TPageInfo& page = *pages[size_t(i)];
        PutInt(out, i + 1);
        const qsizetype endAt = out.size();
        PutInt(out, 0);
        const QByteArray data = PictureBytes(page.Picture);
        out.append(kMagic);
        PutInt(out, page.Sheet.width());
        PutInt(out, page.Sheet.height());
        PutInt(out, qint32(data.size()));
        out.append(data);
        out.append(trailer);
        PatchInt(out, endAt, qint32(out.size()));
        if (progress)
            progress((i + 1) * 100 / n);
    }
    return out;
}

void SaveRenderedPages(
    const QString& fileName, bool margins, const std::vector<const TPageInfo*>& pages, const TPagesProgress& progress)
{
    WriteFileAtomic(fileName, WriteRenderedPages(margins, pages, progress));
}

void ReadRenderedPages(
    const QByteArray& bytes, TPagesFileKind kind, TRenderedPages& into, const TPagesProgress& progress)
{
    TReader r(bytes);
    if (kind == TPagesFileKind::Qrp)
        ReadQrp(r, into, progress);
    else
        ReadRep(r, kind == TPagesFileKind::Qr, into, progress);
}

void LoadRenderedPages(const QString& fileName, TRenderedPages& into, const TPagesProgress& progress)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, f.errorString()));
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        ReadError();
    ReadRenderedPages(bytes, PagesFileKind(fileName), into, progress);
}
