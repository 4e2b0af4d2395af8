// qor_make_templates <program folder>: writes the shipped document
// templates and a catalogue listing them into the program folder's TXT/,
// leaving every file that is already there (the clerk may have redesigned
// it). A4 portrait, the forming holder's variables.

#include "reports/ReportDocument.h"
#include "reports/Vedom.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

namespace {

QString S(const char* t) { return QString::fromUtf8(t); }

constexpr int kLeft = 38; // report pixels from the sheet's left edge
constexpr int kWidth = 718; // A4 width less both margins
constexpr int kFooterTop = 1085; // the page footer near the bottom of an A4 sheet
constexpr int kPad = 3; // text inside a cell keeps off its frame

enum : int { fRight = 1, fBottom = 2, fLeft = 4, fTop = 8, fBox = 15 };
enum : int { aLeft = 0, aRight = 1, aCentre = 2 };
const int kBold = 2; // the report font style bit

class TMaker {
public:
    TMaker() : page_(doc_.ActivePage()) {}

    // A band of the kind below the last one.
    TMaker& Band(int kind, int height)
    {
        BandAt(kind, y_, height);
        y_ += height;
        return *this;
    }
    // A band at a fixed place of the sheet (the page footer).
    TMaker& BandAt(int kind, int top, int height)
    {
        auto v = std::make_unique<TView>(vtBand, &doc_);
        v->SetBounds(QRect(0, top, kLeft + kWidth + 20, height));
        v->FT = kind;
        page_->AddView(std::move(v));
        if (kind == btPageHeader)
            page_->F = true; // also on the first sheet, below the title
        top_ = top;
        return *this;
    }
    // A text in the band, x and y from its left and top.
    TMaker& Text(
        int x, int y, int w, int h, const QString& text, int align = aLeft, int frame = 0, int size = 8, int style = 0)
    {
        auto v = std::make_unique<TView>(vtText, &doc_);
        v->SetBounds(QRect(kLeft + x, top_ + y, w, h));
        v->M = text.split(QLatin1Char('\n'));
        v->SetHAlign(align);
        v->SetVAlign(1);
        v->FT = frame;
        v->FS = size;
        v->FY = style;
        page_->AddView(std::move(v));
        return *this;
    }
    // A row of framed cells as high as its band: widths and texts side by
    // side. A frame line is drawn one pixel past the object and the next
    // band starts one pixel above this one's end, so rows share their lines.
    // A blank keeps a text off the frame: before it on the left, a no-break
    // one after it on the right (the run drops trailing plain blanks).
    TMaker& Cells(int y, int h, const QList<std::pair<int, QString>>& cells, int style = 0)
    {
        int x = 0;
        for (const auto& [w, text] : cells) {
            // Amounts and times stand right; names, codes and numbers left.
            bool number = text.startsWith(QLatin1Char('['));
            for (const char* word : {"Name", "Fio", "Num", "Tabn", "Line"})
                number = number && !text.contains(S(word));
            const int align = number ? aRight : style ? aCentre : aLeft;
            const QString padded = text.isEmpty() || align == aCentre ? text
                : align == aRight                                     ? text + QChar(0x00A0)
                                                                      : QLatin1Char(' ') + text;
            Text(x, y, w, h - 1, padded, align, fBox, 8, style);
            x += w;
        }
        return *this;
    }
    // The sheet's number at its foot.
    TMaker& PageNumber()
    {
        BandAt(btPageFooter, kFooterTop, 18).Text(0, 2, kWidth, 14, S("Лист [PageNumber]"), aRight);
        return *this;
    }
    void Save(const QString& file, const QString& nameDocument)
    {
        doc_.SetNameDocument(nameDocument);
        doc_.SaveToFile(file);
    }

private:
    TDocument doc_;
    TPage* page_;
    int y_ = 38;
    int top_ = 0;
};

void Signatures(TMaker& m, int y, int width = kWidth)
{
    m.Text(0, y, width / 2, 14, S("Руководитель ______________ [FioDirector]"))
        .Text(width / 2, y, width - width / 2, 14, S("Главный бухгалтер ______________ [FioGlBuh]"), aRight);
}

// The head of one employee's pay slip, as wide as the slip.
void PaySlipHeader(TMaker& m, int width)
{
    m.Band(btMasterData, 58)
        .Text(0, 4, width, 16, S("Расчетный лист за [Month] [Year] г."), aCentre, 0, 10, kBold)
        .Text(0, 24, width, 14, S("Таб. № [Tabn]   [Fio]"), aLeft, 0, 9, kBold)
        .Text(0, 40, width, 14, S("Подразделение: [Podr] [PodrName]"));
}

void Rla(const QString& dir)
{
    TMaker m;
    PaySlipHeader(m, kWidth);
    m.Band(btDetailHeader, 18)
        .Cells(0, 18,
            {{44, S("Код")}, {196, S("Начислено")}, {50, S("Время")}, {80, S("Сумма")}, {44, S("Код")},
                {224, S("Удержано")}, {80, S("Сумма")}},
            kBold);
    m.Band(btDetailData, 16)
        .Cells(0, 16,
            {{44, S("[NachDNum]")}, {196, S("[NachDName]")}, {50, S("[NachDTime]")}, {80, S("[NachDSum]")},
                {44, S("[NachUNum]")}, {224, S("[NachUName]")}, {80, S("[NachUSum]")}});
    m.Band(btDetailFooter, 84)
        .Text(0, 4, 359, 14, S("Сальдо на начало месяца: [VsegoPrev]"))
        .Text(359, 4, 359, 14, S("Отработано: [VDTime]"), aRight)
        .Text(0, 20, 359, 14, S("Всего начислено: [VNach]"), aLeft, 0, 8, kBold)
        .Text(359, 20, 359, 14, S("Всего удержано: [VUder]"), aRight, 0, 8, kBold)
        .Text(0, 38, kWidth, 16, S("К выплате: [Vsego]"), aRight, 0, 10, kBold)
        .Text(0, 62, kWidth, 8, QString(), aLeft, fBottom);
    m.Save(dir + S("RLA.dcf"), S("Расчетные листы"));
}

// One column, to be cut out: 360 pixels, under 10 cm.
void Rlb(const QString& dir)
{
    constexpr int w = 360;
    TMaker m;
    PaySlipHeader(m, w);
    m.Band(btDetailData, 20).Text(0, 4, w, 14, S("[NSect]"), aLeft, 0, 8, kBold);
    m.Band(btSubdetailData, 16)
        .Cells(0, 16, {{44, S("[NachNum]")}, {186, S("[NachName]")}, {50, S("[NachTime]")}, {80, S("[NachSum]")}});
    m.Band(btSubdetailFooter, 18)
        .Text(0, 2, 280, 14, S("[NItog]"), aLeft, 0, 8, kBold)
        .Text(280, 2, 80 - kPad, 14, S("[SItog]"), aRight, 0, 8, kBold);
    m.Band(btDetailFooter, 60)
        .Text(0, 4, w, 14, S("Сальдо на начало месяца: [VsegoPrev]"))
        .Text(0, 20, w - kPad, 16, S("К выплате: [Vsego]"), aRight, 0, 10, kBold)
        .Text(0, 44, w, 8, QString(), aLeft, fBottom);
    m.Save(dir + S("RLB.dcf"), S("Расчетные листы"));
}

// The title and the column heads of a list of employees. The heads repeat
// at the top of every sheet, below a blank strip that keeps them off its edge.
void ListHead(TMaker& m, const QString& title, const QString& subtitle, const QList<std::pair<int, QString>>& header,
    int headHeight = 32)
{
    constexpr int gap = 18;
    m.Band(btReportTitle, 40)
        .Text(0, 0, kWidth, 20, title, aCentre, 0, 12, kBold)
        .Text(0, 22, kWidth, 16, subtitle, aCentre, 0, 9);
    // The rows below start at the header's full height (the first one at its
    // template top, the others at a new sheet's top + the header).
    m.Band(btPageHeader, gap + headHeight).Cells(gap, headHeight + 1, header, kBold);
}

void Rv(const QString& dir)
{
    TMaker m;
    ListHead(m, S("Расчетная ведомость за [Month] [Year] г."), S("[ReportTitle]"),
        {{30, S("№")}, {50, S("Таб. №")}, {238, S("Фамилия, имя, отчество")}, {80, S("Сальдо")}, {80, S("Начислено")},
            {80, S("Удержано")}, {80, S("К выплате")}, {80, S("Отработано")}});
    m.Band(btMasterData, 17)
        .Cells(0, 17,
            {{30, S("[LineMaster]")}, {50, S("[Tabn]")}, {238, S("[Fio]")}, {80, S("[VsP]")}, {80, S("[VNach]")},
                {80, S("[VUder]")}, {80, S("[Vsego]")}, {80, S("[VDTime]")}});
    m.Band(btReportSummary, 84)
        .Cells(0, 18,
            {{318, S("Итого по подразделению")}, {80, S("[SVsP]")}, {80, S("[SVNach]")}, {80, S("[SVUder]")},
                {80, S("[SVsego]")}, {80, QString()}},
            kBold)
        .Text(0, 24, kWidth, 14, S("К выдаче: [SVsegoP]; долг работников: [SVsegoM]"))
        .Text(0, 40, kWidth, 14, S("Сумма к выплате прописью: [Propis(SVsego)]"));
    Signatures(m, 64);
    m.PageNumber();
    m.Save(dir + S("RV.dcf"), S("Расчетная ведомость"));
}

void Pv(const QString& dir, const QString& file, const QString& amount, const QString& total, const QString& propis)
{
    TMaker m;
    ListHead(m, S("Платежная ведомость № [Num] за [Month] [Year] г."), S("[ReportTitle]"),
        {{30, S("№")}, {60, S("Таб. №")}, {318, S("Фамилия, имя, отчество")}, {110, S("Сумма")},
            {200, S("Подпись в получении")}});
    m.Band(btMasterData, 23)
        .Cells(0, 23, {{30, S("[LineMaster]")}, {60, S("[Tabn]")}, {318, S("[Fio]")}, {110, amount}, {200, QString()}});
    m.Band(btReportSummary, 110)
        .Cells(0, 19, {{408, S("Итого по ведомости")}, {110, total}, {200, QString()}}, kBold)
        .Text(0, 24, kWidth, 14, S("Сумма прописью: ") + propis)
        .Text(0, 44, kWidth, 14, S("Выплачено ______________________   Депонировано ______________________"))
        .Text(0, 64, kWidth, 14, S("Кассир ______________"));
    Signatures(m, 88);
    m.PageNumber();
    m.Save(dir + file, S("Платежная ведомость"));
}

void Sv(const QString& dir)
{
    TMaker m;
    m.Band(btMasterData, 190)
        .Text(0, 10, kWidth, 20, S("СПРАВКА"), aCentre, 0, 12, kBold)
        .Text(0, 40, kWidth, 60,
            S("Выдана [Fio] (таб. № [Tabn], подразделение [PodrName]) в том, что по расчету\nза [Month] [Year] г. "
              "начислено [VNach], удержано [VUder];\nсальдо на начало месяца [VsP], к выплате [Vsego]."))
        .Text(0, 112, 359, 14, S("Главный бухгалтер ______________ [FioGlBuh]"))
        .Text(359, 112, 359, 14, S("[Date]"), aRight)
        .Text(0, 160, kWidth, 8, QString(), aLeft, fBottom);
    m.Save(dir + S("SV.dcf"), S("Справки"));
}

void Sp(const QString& dir)
{
    TMaker m;
    ListHead(m, S("Справка о расчетах с работниками за [Month] [Year] г."), QString(),
        {{60, S("Таб. №")}, {338, S("Фамилия, имя, отчество")}, {100, S("Начислено")}, {100, S("Удержано")},
            {120, S("К выплате")}},
        20);
    m.Band(btMasterData, 24).Text(0, 6, kWidth, 16, S("Подразделение [Podr] [PodrName]"), aLeft, 0, 9, kBold);
    m.Band(btDetailData, 17)
        .Cells(0, 17,
            {{60, S("[Tabn]")}, {338, S("[Fio]")}, {100, S("[VNach]")}, {100, S("[VUder]")}, {120, S("[Vsego]")}});
    m.Band(btDetailFooter, 18)
        .Cells(0, 18,
            {{398, S("Итого по подразделению")}, {100, S("[SVNach]")}, {100, S("[SVUder]")}, {120, S("[SVsego]")}},
            kBold);
    m.Band(btReportSummary, 76)
        .Cells(8, 19,
            {{398, S("Итого по предприятию")}, {100, S("[PSVNach]")}, {100, S("[PSVUder]")}, {120, S("[PSVsego]")}},
            kBold)
        .Text(0, 34, kWidth, 14, S("Прописью: [Propis(PSVsego)]"));
    Signatures(m, 56);
    m.PageNumber();
    m.Save(dir + S("SP.dcf"), S("Справки"));
}

void Sn(const QString& dir, const QString& file)
{
    TMaker m;
    ListHead(m, S("Свод по начислениям за [Month] [Year] г."), S("[PodrName]"),
        {{44, S("Код")}, {236, S("Начисления")}, {79, S("Сумма")}, {44, S("Код")}, {236, S("Удержания")},
            {79, S("Сумма")}},
        20);
    m.Band(btMasterData, 17)
        .Cells(0, 17,
            {{44, S("[NachDNum]")}, {236, S("[NachDName]")}, {79, S("[NachDSum]")}, {44, S("[NachUNum]")},
                {236, S("[NachUName]")}, {79, S("[NachUSum]")}});
    m.Band(btReportSummary, 80)
        .Cells(0, 19,
            {{280, S("Всего начислено")}, {79, S("[PSVNach]")}, {280, S("Всего удержано")}, {79, S("[PSVUder]")}},
            kBold)
        .Text(0, 26, kWidth, 14, S("Сальдо на начало: [PSVsP]; к выплате: [PSVsego]"));
    Signatures(m, 50);
    m.PageNumber();
    m.Save(dir + file, S("Свод по начислениям"));
}

struct TShipped {
    int Kind; // the catalogue's document kind
    int Category; // its fixed section
    qint32 Tip;
    const char* File;
    const char* Name;
    quint8 Cond;
};
const TShipped kShipped[] = {
    {1, 1, 11, "RLA.dcf", "Расчетные листы (широкие)", vcAll},
    {1, 2, 21, "RLB.dcf", "Расчетные листы (узкие)", vcAll},
    {2, 1, 31, "RV.dcf", "Расчетная ведомость", vcAll},
    {3, 1, 41, "PV.dcf", "Платежная ведомость на зарплату", vcAll},
    {3, 3, 42, "PVVvod.dcf", "Платежная ведомость по входным данным", vcAll},
    {4, 1, 51, "SV.dcf", "Справки должникам подразделения", vcAll},
    {4, 1, 61, "SP.dcf", "Справка по должникам предприятия", vcNegative},
    {5, 2, 71, "SNPredp.dcf", "Свод по начислениям предприятия", vcAll},
    {5, 3, 72, "SNPodr.dcf", "Свод по начислениям подразделения", vcAll},
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: qor_make_templates <program folder>\n");
        return 2;
    }
    const QString dir
        = QDir(QString::fromLocal8Bit(argv[1])).absoluteFilePath(QStringLiteral("TXT")) + QLatin1Char('/');
    QDir().mkpath(dir);
    const auto missing = [&](const char* file) { return !QFileInfo::exists(dir + S(file)); };
    try {
        if (missing("RLA.dcf"))
            Rla(dir);
        if (missing("RLB.dcf"))
            Rlb(dir);
        if (missing("RV.dcf"))
            Rv(dir);
        if (missing("PV.dcf"))
            Pv(dir, S("PV.dcf"), S("[Vsego]"), S("[SVsego]"), S("[Propis(SVsego)]"));
        if (missing("PVVvod.dcf"))
            Pv(dir, S("PVVvod.dcf"), S("[V.1]"), S("[S.1]"), S("[Propis([S.1])]"));
        if (missing("SV.dcf"))
            Sv(dir);
        if (missing("SP.dcf"))
            Sp(dir);
        if (missing("SNPredp.dcf"))
            Sn(dir, S("SNPredp.dcf"));
        if (missing("SNPodr.dcf"))
            Sn(dir, S("SNPodr.dcf"));
        if (missing("CatList.cfg")) {
            for (int kind = kFirstDocKind; kind <= kLastDocKind; ++kind) {
                T_Catalogue cat(kind, dir + S("CatList.cfg"));
                cat.Load();
                qint32 num = 0;
                for (const TShipped& s : kShipped) {
                    if (s.Kind != kind)
                        continue;
                    T_Vedom* d = cat.Docs.AddVedom();
                    d->Num = ++num;
                    d->Name = S(s.Name);
                    d->Tip = s.Tip;
                    d->Template = S(s.File);
                    d->Category = s.Category;
                    d->Cond = s.Cond;
                }
                cat.Save();
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qor_make_templates: %s\n", e.what());
        return 1;
    }
    return 0;
}
