#include "reports/RenderedPages.h"
#include "platform/Exceptions.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>

namespace {

TPageInfo Page(int orientation, const QString& text)
{
    TPageInfo p;
    p.Orientation = orientation;
    p.Sheet = orientation == 1 ? QSize(1123, 794) : QSize(794, 1123);
    QPainter g(&p.Picture);
    g.drawRect(40, 40, p.Sheet.width() - 80, p.Sheet.height() - 80);
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(40);
    g.setFont(f);
    g.drawText(100, 200, text);
    g.end();
    return p;
}

qint32 IntAt(const QByteArray& b, qsizetype at) { return qFromLittleEndian<qint32>(b.constData() + at); }
void SetInt(QByteArray& b, qsizetype at, qint32 v) { qToLittleEndian(v, b.data() + at); }

class RenderedPagesTest : public ::testing::Test {
protected:
    RenderedPagesTest() : pages{Page(0, "one"), Page(0, "two"), Page(1, "three")} {}
    QByteArray Written(bool margins = true) const
    {
        return WriteRenderedPages(margins, {&pages[0], &pages[1], &pages[2]});
    }
    std::vector<TPageInfo> pages;
};

TEST_F(RenderedPagesTest, WrittenPagesComeBackInOrderWithOrientationAndFlag)
{
    const QByteArray b = Written();
    ASSERT_GT(b.size(), 124);
    EXPECT_EQ(b.left(112), QByteArray(1, '\1') + QByteArray(111, '\0'));
    EXPECT_EQ(IntAt(b, 112), 3);
    EXPECT_EQ(b.mid(116, 8), QByteArray(1, '\1') + QByteArray(7, '\0'));
    // Each record: its number, the end after its trailer, the payload, the trailer.
    qsizetype at = 124;
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(IntAt(b, at), i);
        const qint32 end = IntAt(b, at + 4);
        ASSERT_GT(end, at + 8);
        EXPECT_EQ(b.mid(end - 4, 4), QByteArray("\1\0\0\0", 4));
        EXPECT_EQ(b.mid(at + 8, 4), "QPG1");
        at = end;
    }
    EXPECT_EQ(at, b.size());

    TRenderedPages back;
    ReadRenderedPages(b, TPagesFileKind::Rep, back);
    EXPECT_TRUE(back.Margins);
    ASSERT_EQ(back.Pages.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.Pages[i].Orientation, pages[i].Orientation);
        EXPECT_EQ(back.Pages[i].Sheet, pages[i].Sheet);
        EXPECT_EQ(PictureBytes(back.Pages[i].Picture), PictureBytes(pages[i].Picture));
    }

    // ".qr" is the same file with the flag taken as 0.
    TRenderedPages qr;
    ReadRenderedPages(b, TPagesFileKind::Qr, qr);
    EXPECT_FALSE(qr.Margins);
    EXPECT_EQ(qr.Pages.size(), 3u);

    // A file of no pages is its header alone, and reads back.
    const QByteArray none = WriteRenderedPages(true, {});
    EXPECT_EQ(none.size(), 124);
    TRenderedPages empty;
    ReadRenderedPages(none, TPagesFileKind::Rep, empty);
    EXPECT_TRUE(empty.Margins);
    EXPECT_TRUE(empty.Pages.empty());
}

TEST_F(RenderedPagesTest, QrpPagesFollowEachOtherToTheEndOfTheFile)
{
    const QByteArray rep = Written();
    QByteArray qrp(372, '\0');
    for (int i = 0; i < 2; ++i) {
        const qsizetype at = i == 0 ? 128 : IntAt(rep, 128) + 4;
        const qint32 end = IntAt(rep, at);
        qrp += rep.mid(at + 4, end - 4 - (at + 4)) + QByteArray(4, '\0');
    }
    TRenderedPages back;
    ReadRenderedPages(qrp, TPagesFileKind::Qrp, back);
    ASSERT_EQ(back.Pages.size(), 2u);
    EXPECT_EQ(PictureBytes(back.Pages[1].Picture), PictureBytes(pages[1].Picture));
    EXPECT_EQ(PagesFileKind(QStringLiteral("a/B.QRP")), TPagesFileKind::Qrp);
    EXPECT_EQ(PagesFileKind(QStringLiteral("b.qr")), TPagesFileKind::Qr);
    EXPECT_EQ(PagesFileKind(QStringLiteral("c.v2")), TPagesFileKind::Rep);
}

TEST_F(RenderedPagesTest, DamagedFilesRaiseAndKeepThePagesReadBefore)
{
    const QByteArray good = Written(false);
    const qint32 end1 = IntAt(good, 128);
    const qint32 end2 = IntAt(good, end1 + 4);
    QByteArray emf(80, '\0');
    SetInt(emf, 0, 1);
    emf.replace(40, 4, " EMF");
    struct Case {
        const char* name;
        std::function<void(QByteArray&)> damage;
        size_t kept;
        QString message;
    } cases[] = {
        {"a billion pages", [](QByteArray& b) { SetInt(b, 112, 1000000000); }, 0, kStreamReadError},
        {"a negative count", [](QByteArray& b) { SetInt(b, 112, -1); }, 0, kStreamReadError},
        {"the second end points back", [&](QByteArray& b) { SetInt(b, end1 + 4, 128); }, 1, kStreamReadError},
        {"the first end past the file", [](QByteArray& b) { SetInt(b, 128, b.size() + 100); }, 0, kStreamReadError},
        {"cut inside the third page", [&](QByteArray& b) { b.truncate(end2 + 30); }, 2, kStreamReadError},
        {"shorter than the header", [](QByteArray& b) { b.truncate(100); }, 0, kStreamReadError},
        {"a damaged picture", [](QByteArray& b) { b[132 + 16 + 20] = char(b[132 + 16 + 20] ^ 0x55); }, 0,
            kStreamReadError},
        {"a picture longer than the file", [](QByteArray& b) { SetInt(b, 132 + 12, 0x7fffffff); }, 0, kStreamReadError},
        {"a sheet of no width", [](QByteArray& b) { SetInt(b, 132 + 4, 0); }, 0, kStreamReadError},
        {"a Windows metafile", [&](QByteArray& b) { b = b.left(128) + QByteArray(4, '\0') + emf; }, 0,
            kWindowsMetafilePages},
    };
    for (const Case& c : cases) {
        QByteArray b = good;
        c.damage(b);
        TRenderedPages read;
        try {
            ReadRenderedPages(b, TPagesFileKind::Rep, read);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message(), c.message) << c.name;
        }
        EXPECT_EQ(read.Pages.size(), c.kept) << c.name;
    }
}

TEST_F(RenderedPagesTest, SavedFileGetsItsBytesAndAMissingFileIsAnOpenError)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("x.rep"));
    SaveRenderedPages(name, true, {&pages[2]});
    EXPECT_EQ(ReadFileBytes(name), WriteRenderedPages(true, {&pages[2]}));
    TRenderedPages read;
    LoadRenderedPages(name, read);
    ASSERT_EQ(read.Pages.size(), 1u);
    EXPECT_EQ(read.Pages[0].Orientation, 1);
    EXPECT_THROW(LoadRenderedPages(dir.filePath(QStringLiteral("none.rep")), read), EFOpenError);
}

} // namespace
