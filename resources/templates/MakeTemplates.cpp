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

enum : int { fRight = 1, fBottom = 2, fLeft = 4, fTop = 8, fBox = 15 };
enum : int { aLeft = 0, aRight = 1, aCentre = 2 };

class TMaker {
public:
    TMaker() : page_(doc_.ActivePage()) {}

    // A band of the kind below the last one.
    TMaker& Band(int kind, int height)
    {
        auto v = std::make_unique<TView>(vtBand, &doc_);
        v->SetBounds(QRect(0, y_, kLeft + kWidth + 20, height));
        v->FT = kind;
        page_->AddView(std::move(v));
        if (kind == btPageHeader)
            page_->F = true; // also on the first sheet, below the title
        top_ = y_;
        y_ += height;
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
    // A row of framed cells: widths and texts side by side.
    TMaker& Cells(int y, int h, const QList<std::pair<int, QString>>& cells, int style = 0, int alignNumbers = aRight)
    {
        int x = 0;
        for (int i = 0; i < cells.size(); ++i) {
            const auto& [w, text] = cells[i];
            const bool number = text.startsWith(QLatin1Char('[')) && i > 0 && !text.contains(S("Name"))
                && !text.contains(S("Fio")) && !text.contains(S("N."));
            Text(x, y, w, h, text, number ? alignNumbers : (style ? aCentre : aLeft), fBox, 8, style);
            x += w;
        }
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

const int kBold = 2; // the report font style bit

void PaySlipHeader(TMaker& m, int height)
{
    m.Band(btMasterData, height)
        .Text(0, 4, kWidth, 16, S("Расчетный лист за [Month] [Year] г."), aCentre, 0, 10, kBold)
        .Text(0, 22, kWidth / 2, 14, S("[Name]"))
        .Text(kWidth / 2, 22, kWidth / 2, 14, S("Подразделение: [Podr] [PodrName]"), aRight)
        .Text(0, 38, kWidth, 14, S("Таб. № [Tabn]   [Fio]"), aLeft, 0, 8, kBold);
}

void Rla(const QString& dir)
{
    TMaker m;
    PaySlipHeader(m, 56);
    m.Band(btDetailHeader, 18)
        .Cells(0, 18,
            {{50, S("Код")}, {180, S("Начислено")}, {50, S("Время")}, {79, S("Сумма")}, {50, S("Код")},
                {230, S("Удержано")}, {79, S("Сумма")}},
            kBold);
    m.Band(btDetailData, 16)
        .Cells(0, 16,
            {{50, S("[NachDNum]")}, {180, S("[NachDName]")}, {50, S("[NachDTime]")}, {79, S("[NachDSum]")},
                {50, S("[NachUNum]")}, {230, S("[NachUName]")}, {79, S("[NachUSum]")}});
    m.Band(btDetailFooter, 84)
        .Text(0, 4, 359, 14, S("Сальдо на начало месяца: [VsegoPrev]"))
        .Text(359, 4, 359, 14, S("Отработано: [VDTime]"), aRight)
        .Text(0, 20, 359, 14, S("Всего начислено: [VNach]"), aLeft, 0, 8, kBold)
        .Text(359, 20, 359, 14, S("Всего удержано: [VUder]"), aRight, 0, 8, kBold)
        .Text(0, 38, kWidth, 16, S("К выплате: [Vsego]"), aRight, 0, 10, kBold)
        .Text(0, 62, kWidth, 8, QString(), aLeft, fBottom);
    m.Save(dir + S("RLA.dcf"), S("Расчетные листы"));
}

void Rlb(const QString& dir)
{
    TMaker m;
    PaySlipHeader(m, 56);
    m.Band(btDetailData, 18).Text(0, 2, 360, 14, S("[NSect]"), aLeft, fBottom, 8, kBold);
    m.Band(btSubdetailData, 16)
        .Cells(0, 16, {{50, S("[NachNum]")}, {180, S("[NachName]")}, {50, S("[NachTime]")}, {80, S("[NachSum]")}});
    m.Band(btSubdetailFooter, 18)
        .Text(0, 2, 280, 14, S("[NItog]"), aLeft, 0, 8, kBold)
        .Text(280, 2, 80, 14, S("[SItog]"), aRight, 0, 8, kBold);
    m.Band(btDetailFooter, 56)
        .Text(0, 4, 360, 14, S("Сальдо на начало месяца: [VsegoPrev]"))
        .Text(0, 20, 360, 16, S("К выплате: [Vsego]"), aRight, 0, 10, kBold)
        .Text(0, 40, 360, 8, QString(), aLeft, fBottom);
    m.Save(dir + S("RLB.dcf"), S("Расчетные листы"));
}

// The title and the header of a list of employees.
void ListHead(TMaker& m, const QString& title, const QList<std::pair<int, QString>>& header)
{
    m.Band(btReportTitle, 64)
        .Text(0, 0, kWidth, 14, S("[Name]"))
        .Text(0, 18, kWidth, 18, title, aCentre, 0, 12, kBold)
        .Text(0, 40, kWidth, 16, S("[ReportTitle]"), aCentre, 0, 9);
    m.Band(btPageHeader, 32).Cells(0, 32, header, kBold);
}

void Signatures(TMaker& m, int y)
{
    m.Text(0, y, 359, 14, S("Руководитель ______________ [FioDirector]"))
        .Text(359, y, 359, 14, S("Главный бухгалтер ______________ [FioGlBuh]"), aRight);
}

void Rv(const QString& dir)
{
    TMaker m;
    ListHead(m, S("Расчетная ведомость за [Month] [Year] г."),
        {{30, S("№")}, {50, S("Таб. №")}, {238, S("Фамилия, имя, отчество")}, {80, S("Сальдо")}, {80, S("Начислено")},
            {80, S("Удержано")}, {80, S("К выплате")}, {80, S("Отработано")}});
    m.Band(btMasterData, 16)
        .Cells(0, 16,
            {{30, S("[LineMaster]")}, {50, S("[Tabn]")}, {238, S("[Fio]")}, {80, S("[VsP]")}, {80, S("[VNach]")},
                {80, S("[VUder]")}, {80, S("[Vsego]")}, {80, S("[VDTime]")}});
    m.Band(btReportSummary, 96)
        .Cells(0, 16,
            {{318, S("Итого по подразделению")}, {80, S("[SVsP]")}, {80, S("[SVNach]")}, {80, S("[SVUder]")},
                {80, S("[SVsego]")}, {80, QString()}},
            kBold)
        .Text(0, 22, kWidth, 14, S("К выдаче: [SVsegoP]; долг работников: [SVsegoM]"))
        .Text(0, 38, kWidth, 14, S("Сумма к выплате прописью: [Propis(SVsego)]"))
        .Text(kWidth - 100, 80, 100, 14, S("Лист [PageNumber]"), aRight);
    Signatures(m, 58);
    m.Save(dir + S("RV.dcf"), S("Расчетная ведомость"));
}

void Pv(const QString& dir, const QString& file, const QString& amount, const QString& total, const QString& propis)
{
    TMaker m;
    ListHead(m, S("Платежная ведомость № [Num] за [Month] [Year] г."),
        {{30, S("№")}, {60, S("Таб. №")}, {318, S("Фамилия, имя, отчество")}, {110, S("Сумма")},
            {200, S("Подпись в получении")}});
    m.Band(btMasterData, 20)
        .Cells(0, 20, {{30, S("[LineMaster]")}, {60, S("[Tabn]")}, {318, S("[Fio]")}, {110, amount}, {200, QString()}});
    m.Band(btReportSummary, 110)
        .Cells(0, 18, {{408, S("Итого по ведомости")}, {110, total}, {200, QString()}}, kBold)
        .Text(0, 24, kWidth, 14, S("Сумма прописью: ") + propis)
        .Text(0, 44, kWidth, 14, S("Выплачено ______________________   Депонировано ______________________"))
        .Text(0, 64, kWidth, 14, S("Кассир ______________ "));
    Signatures(m, 86);
    m.Save(dir + file, S("Платежная ведомость"));
}

void Sv(const QString& dir)
{
    TMaker m;
    m.Band(btMasterData, 190)
        .Text(0, 0, kWidth, 14, S("[Name]"))
        .Text(0, 24, kWidth, 18, S("СПРАВКА"), aCentre, 0, 12, kBold)
        .Text(0, 54, kWidth, 60,
            S("Выдана [Fio] (таб. № [Tabn], подразделение [PodrName]) в том, что по расчету\nза [Month] [Year] г. "
              "начислено [VNach], удержано [VUder];\nсальдо на начало месяца [VsP], к выплате [Vsego]."))
        .Text(0, 120, 359, 14, S("Главный бухгалтер ______________ [FioGlBuh]"))
        .Text(0, 160, kWidth, 8, QString(), aLeft, fBottom);
    m.Save(dir + S("SV.dcf"), S("Справки"));
}

void Sp(const QString& dir)
{
    TMaker m;
    m.Band(btReportTitle, 48)
        .Text(0, 0, kWidth, 14, S("[Name]"))
        .Text(0, 20, kWidth, 18, S("Справка о расчетах с работниками за [Month] [Year] г."), aCentre, 0, 12, kBold);
    m.Band(btMasterData, 22).Text(0, 4, kWidth, 16, S("Подразделение [Podr] [PodrName]"), aLeft, fBottom, 9, kBold);
    m.Band(btDetailData, 16)
        .Cells(
            0, 16, {{60, S("[Tabn]")}, {338, S("[Fio]")}, {80, S("[VNach]")}, {80, S("[VUder]")}, {80, S("[Vsego]")}});
    m.Band(btDetailFooter, 20)
        .Cells(0, 16,
            {{398, S("Итого по подразделению")}, {80, S("[SVNach]")}, {80, S("[SVUder]")}, {80, S("[SVsego]")}}, kBold);
    m.Band(btReportSummary, 60)
        .Cells(0, 18,
            {{398, S("Итого по предприятию")}, {80, S("[PSVNach]")}, {80, S("[PSVUder]")}, {80, S("[PSVsego]")}}, kBold)
        .Text(0, 24, kWidth, 14, S("Прописью: [Propis(PSVsego)]"));
    m.Save(dir + S("SP.dcf"), S("Справки"));
}

void Sn(const QString& dir, const QString& file)
{
    TMaker m;
    m.Band(btReportTitle, 64)
        .Text(0, 0, kWidth, 14, S("[Name]"))
        .Text(0, 18, kWidth, 18, S("Свод по начислениям за [Month] [Year] г."), aCentre, 0, 12, kBold)
        .Text(0, 40, kWidth, 16, S("[PodrName]"), aCentre, 0, 10);
    m.Band(btPageHeader, 20)
        .Cells(0, 20,
            {{50, S("Код")}, {230, S("Начисления")}, {79, S("Сумма")}, {50, S("Код")}, {230, S("Удержания")},
                {79, S("Сумма")}},
            kBold);
    m.Band(btMasterData, 16)
        .Cells(0, 16,
            {{50, S("[NachDNum]")}, {230, S("[NachDName]")}, {79, S("[NachDSum]")}, {50, S("[NachUNum]")},
                {230, S("[NachUName]")}, {79, S("[NachUSum]")}});
    m.Band(btReportSummary, 80)
        .Cells(0, 18,
            {{280, S("Всего начислено")}, {79, S("[PSVNach]")}, {280, S("Всего удержано")}, {79, S("[PSVUder]")}},
            kBold)
        .Text(0, 26, kWidth, 14, S("Сальдо на начало: [PSVsP]; к выплате: [PSVsego]"));
    Signatures(m, 50);
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
