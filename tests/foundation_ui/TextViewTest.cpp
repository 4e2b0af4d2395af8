// The text viewer: lines replaced on every call, files in either code page,
// the state forgotten on close.
#include "foundation/ui/dialogs/TextView.h"
#include "support/ModalScript.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class TextView : public ::testing::Test {
protected:
    void TearDown() override { FreeFormView(); }
    ScopedProgramFolder folder;
};

TEST_F(TextView, SecondModelessCallReplacesEverything)
{
    ShowView(U("Ошибки расчета"), U("Работник 12"), {U("Нет ставки"), U("Нет календаря")}, false);
    TFormView& v = FormView();
    EXPECT_TRUE(v.isVisible());
    ShowView(U("Ошибки импорта"), QString(), {U("Строка 3: неверная дата")}, false);
    EXPECT_TRUE(v.isVisible());
    EXPECT_EQ(v.windowTitle(), U("Ошибки импорта"));
    EXPECT_EQ(v.pnMsg->text(), U("Список сообщений")); // empty header: the design one
    EXPECT_EQ(v.Lines(), QStringList{U("Строка 3: неверная дата")});
    SaveScreenshot(&v, QStringLiteral("TextView_lines"));
    QTest::keyClick(v.Memo, Qt::Key_Escape);
    EXPECT_FALSE(v.isVisible());
}

TEST_F(TextView, MissingFileShowsTwoLines)
{
    const QString path = folder.File(QStringLiteral("нет.txt"));
    ShowViewFile(QString(), QString(), path, false, false);
    TFormView& v = FormView();
    EXPECT_EQ(v.Lines(), (QStringList{U("Файл не найден"), QLatin1Char('"') + path + QLatin1Char('"')}));
    EXPECT_EQ(v.windowTitle(), U("Просмотр"));
    v.close();
}

TEST_F(TextView, FilesInBothCodePages)
{
    // "Ошибка в строке 5" in CP866 and in CP1251, DOS line ends.
    const QByteArray cp866 = QByteArray::fromHex("8EE8A8A1AAA020A2"
                                                 "20E1E2E0AEAAA52035")
        + "\r\n" + QByteArray::fromHex("8EAA");
    const QByteArray cp1251 = QByteArray::fromHex("CEF8E8E1EAE020E2"
                                                  "20F1F2F0EEEAE52035")
        + "\r\n" + QByteArray::fromHex("CEEA");
    const QStringList want{U("Ошибка в строке 5"), U("Ок")};
    WriteFileBytes(folder.File(QStringLiteral("dos.txt")), cp866);
    WriteFileBytes(folder.File(QStringLiteral("win.txt")), cp1251);

    ModalScript modal;
    modal.Next<TFormView>([&](TFormView& v) {
        EXPECT_EQ(v.Lines(), want);
        EXPECT_TRUE(v.OemText);
        SaveScreenshot(&v, QStringLiteral("TextView_cp866"));
        QTest::keyClick(v.Memo, Qt::Key_Escape);
    });
    modal.Next<TFormView>([&](TFormView& v) {
        EXPECT_EQ(v.Lines(), want);
        QTest::keyClick(v.Memo, Qt::Key_Escape);
    });
    ShowViewFile(U("Протокол"), U("Файл обмена"), folder.File(QStringLiteral("dos.txt")), true, true);
    // Closing forgot the header, the file and the code page.
    TFormView& v = FormView();
    EXPECT_EQ(v.pnMsg->text(), U("Список сообщений"));
    EXPECT_TRUE(v.FileName.isEmpty());
    EXPECT_FALSE(v.OemText);
    ShowViewFile(U("Протокол"), QString(), folder.File(QStringLiteral("win.txt")), false, true);
}

TEST_F(TextView, BinaryBytesDoNotBreakTheViewer)
{
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 131 + 7) & 0xFF));
    WriteFileBytes(folder.File(QStringLiteral("junk.bin")), junk);
    for (bool oem : {true, false}) {
        ShowViewFile(QString(), QString(), folder.File(QStringLiteral("junk.bin")), oem, false);
        EXPECT_FALSE(FormView().Lines().isEmpty());
        FormView().close();
    }
}

} // namespace
