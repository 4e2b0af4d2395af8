#include "reports/ReportDocument.h"

#include "foundation/Progress.h"
#include "platform/Clock.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <limits>
#include <utility>

const QString kNoPrintData = QStringLiteral("Нет данных для печати");
const QString kDamagedTemplate = QStringLiteral("Поврежден файл-шаблон");

namespace {

template <typename T> class Restore {
public:
    explicit Restore(T& ref) : ref_(ref), saved_(ref) {}
    ~Restore() { ref_ = std::move(saved_); }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

private:
    T& ref_;
    T saved_;
};

template <typename F> class AtExit {
public:
    explicit AtExit(F f) : f_(std::move(f)) {}
    ~AtExit() { f_(); }
    AtExit(const AtExit&) = delete;
    AtExit& operator=(const AtExit&) = delete;

private:
    F f_;
};

bool IsDataKind(int kind) { return kind == btMasterData || kind == btDetailData || kind == btSubdetailData; }

} // namespace

T_RPDefaultProperties& RPDefaultProperties()
{
    static T_RPDefaultProperties props = [] {
        T_RPDefaultProperties p;
        p.Picture = QImage(32, 32, QImage::Format_RGB32);
        p.Picture.fill(Qt::white);
        for (int i = 0; i < 32; ++i) {
            p.Picture.setPixel(i, i, qRgb(0x80, 0x80, 0x80));
            p.Picture.setPixel(31 - i, i, qRgb(0x80, 0x80, 0x80));
        }
        p.Second = p.Picture;
        return p;
    }();
    return props;
}

TReportWindowFactories& ReportWindowFactories()
{
    static TReportWindowFactories factories;
    return factories;
}

// ---------------------------------------------------------------- TDocument

TDocument::TDocument()
{
    AddPage(0);
    active_ = 0;
}

TDocument::~TDocument()
{
    if (canvas_ && canvas_->isActive())
        canvas_->end();
}

TPage* TDocument::AddPage(int orientation)
{
    pages_.push_back(std::make_unique<TPage>(orientation, this));
    return pages_.back().get();
}

void TDocument::DeletePage(int i)
{
    if (PageCount() <= 1 || i < 0 || i >= PageCount())
        return;
    pages_.erase(pages_.begin() + i);
    if (active_ >= PageCount())
        active_ = PageCount() - 1;
}

void TDocument::SetActivePage(int i)
{
    if (i >= 0 && i < PageCount())
        active_ = i;
}

IPrintBackend& TDocument::PrintBackend()
{
    if (!backend_)
        backend_ = MakeDefaultPrintBackend();
    return *backend_;
}

void TDocument::MeasurePrinter()
{
    IPrintBackend& b = PrintBackend();
    geometry_[1] = b.Measure(1);
    geometry_[0] = b.Measure(0);
}

const TPrinterGeometry& TDocument::Geometry(int orientation)
{
    const int o = orientation == 1 ? 1 : 0;
    if (geometry_[o].PrintHs == 0)
        MeasurePrinter();
    return geometry_[o];
}

int TDocument::UsableWidth(int o)
{
    const TPrinterGeometry& g = Geometry(o);
    return g.PrintWs + (Margins ? g.OffXs : 0);
}

int TDocument::SheetTop(int o) { return Margins ? Geometry(o).OffYs : 0; }

int TDocument::SheetHeight(int o)
{
    const TPrinterGeometry& g = Geometry(o);
    return Margins ? g.OffYs + g.PrintHs : g.PhysHs;
}

bool TDocument::GetSystemValue(const QString& name, QString& value) const
{
    const QString n = name.toUpper();
    if (n == QLatin1String("NAMEDOCUMENT"))
        value = NameDocument();
    else if (n == QLatin1String("REPORTTITLE"))
        value = Title;
    else if (n == QLatin1String("NAMESAVEFILE"))
        value = NameSaveFile;
    else if (n == QLatin1String("DATE"))
        value = DateToStr(Date());
    else if (n == QLatin1String("TIME"))
        value = TimeToStr(Now());
    else if (n == QLatin1String("DATETIME"))
        value = DateTimeToStr(Now());
    else if (n == QLatin1String("PAGENUMBER"))
        value = QString::number(outCounter_ + 1);
    else if (n == QLatin1String("LINEMASTER"))
        value = QString::number(lines_[lcMaster]);
    else if (n == QLatin1String("LINEDETAIL"))
        value = QString::number(lines_[lcDetail]);
    else if (n == QLatin1String("LINESUBDETAIL"))
        value = QString::number(lines_[lcSubdetail]);
    else if (n == QLatin1String("LINEDETAILTOTAL"))
        value = QString::number(lines_[lcDetailTotal]);
    else if (n == QLatin1String("LINESUBDETAILTOTAL"))
        value = QString::number(lines_[lcSubdetailTotal]);
    else
        return false;
    return true;
}

// ---------------------------------------------------------------- output pages

TPageInfo& TDocument::AddOutputPage(int orientation)
{
    auto info = std::make_unique<TPageInfo>();
    info->Orientation = orientation;
    const TPrinterGeometry& g = Geometry(orientation);
    info->Sheet = QSize(g.PhysWs, g.PhysHs);
    output_.push_back(std::move(info));
    return *output_.back();
}

void TDocument::ClearOutputPages()
{
    FinishCanvas();
    output_.clear();
}

void TDocument::OpenCanvas(TPageInfo& info)
{
    FinishCanvas();
    canvas_ = std::make_unique<QPainter>(&info.Picture);
    canvas_->setRenderHint(QPainter::TextAntialiasing);
}

void TDocument::FinishCanvas()
{
    if (canvas_ && canvas_->isActive())
        canvas_->end();
    canvas_.reset();
}

void TDocument::Progress(int n)
{
    if (Events.OnProgress)
        Events.OnProgress(*this, n);
}

// ---------------------------------------------------------------- the run

void TDocument::Prepare()
{
    ClearOutputPages();
    MeasurePrinter();
    rendering_ = true;
    Progress(0);
    Progress(1);
    if (Events.OnBeginDoc)
        Events.OnBeginDoc(*this);
    const int remembered = active_;
    // Whatever ends the run, the template and the canvas are left whole.
    AtExit undo([&] {
        for (auto& p : pages_)
            p->FreeBands();
        FinishCanvas();
        active_ = remembered < PageCount() ? remembered : 0;
    });
    const int passes = DoubleOnSheet ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        outCounter_ = 0;
        if (pass == 1) {
            TPage& page = *pages_[active_];
            page.Continue = true;
            carriedY_ = SheetHeight(page.O) / 2;
        } else {
            for (auto& p : pages_) {
                p->Continue = false;
                p->FooterPrinted = false;
            }
        }
        for (int i = 0; i < PageCount(); ++i) {
            active_ = i;
            TPage& page = *pages_[i];
            if (i > 0) {
                page.Continue = false;
                if (page.P) {
                    --outCounter_;
                    page.Continue = true;
                }
                if (!page.Continue)
                    FinishCanvas();
            }
            page.CreateBands();
            std::fill(std::begin(lines_), std::end(lines_), 0);
            if (Events.OnBeginPage) {
                Events.OnBeginPage(*this, i, page.Band(btMasterData)->Memo, page.Band(btDetailData)->Memo,
                    page.Band(btSubdetailData)->Memo);
            } else if (DemoData) {
                demo_[0] = 5;
                demo_[1] = 3;
                demo_[2] = 2;
            }
            RenderPage(page);
            page.FreeBands();
            if (Events.OnEndPage)
                Events.OnEndPage(*this, i);
            Progress(outCounter_);
        }
        if (passes == 1 || OutputPageCount() > 1)
            break;
        if (pass == 0 && carriedY_ > SheetHeight(pages_[active_]->O) / 2)
            break;
    }
    FinishCanvas();
    active_ = remembered < PageCount() ? remembered : 0;
    if (Events.OnEndDoc)
        Events.OnEndDoc(*this);
}

void TDocument::RenderPage(TPage& page)
{
    if (!page.Continue) {
        OpenCanvas(AddOutputPage(page.O));
    } else if (!canvas_ && !output_.empty()) {
        // Continuing a sheet whose canvas was finished: draw on over it.
        TPageInfo& last = *output_.back();
        QPicture before = last.Picture;
        OpenCanvas(last);
        canvas_->drawPicture(0, 0, before);
    }
    int limit = page.Band(btPageFooter)->Top;
    if (limit == 0)
        limit = SheetHeight(page.O);
    if (page.Continue && page.FooterPrinted)
        limit = bottomLimit_;
    bottomLimit_ = limit;
    page.HeaderPending = true;
    if (!page.Continue) {
        page.CurY = 0;
        RenderKind(page, btOverlay);
        RenderKind(page, btFree);
    } else {
        page.CurY = carriedY_;
    }
    RenderKind(page, btReportTitle);
    if (HasContent(page, btPageHeader) && page.F)
        RenderKind(page, btPageHeader);
    while (RenderKind(page, btMasterData)) {
        while (RenderKind(page, btDetailData)) {
            while (RenderKind(page, btSubdetailData)) {}
            if (lines_[lcSubdetail] > 0)
                RenderKind(page, btSubdetailFooter);
        }
        if (lines_[lcDetail] > 0)
            RenderKind(page, btDetailFooter);
    }
    RenderKind(page, btMasterFooter);
    RenderKind(page, btReportSummary);
    carriedY_ = page.CurY;
    RenderKind(page, btPageFooter);
    ++outCounter_;
}

bool TDocument::HasContent(TPage& page, int kind) const
{
    if (IsDataKind(kind) && Events.OnNeedData)
        return true;
    for (TBand* b = page.Band(kind); b; b = b->Next)
        if (!b->Views.empty())
            return true;
    return false;
}

bool TDocument::RenderKind(TPage& page, int kind, bool measuring)
{
    TBand* first = page.Band(kind);
    if (!first)
        return false;
    if (IsDataKind(kind))
        return first->Next ? RenderDataChain(page, kind) : RenderBand(page, *first, true, measuring);
    bool printed = false;
    for (TBand* b = first; b; b = b->Next)
        printed = RenderBand(page, *b, false, measuring) || printed;
    if (kind == btPageFooter)
        page.FooterPrinted = printed;
    if (kind == btMasterHeader && printed)
        page.HeaderPending = false;
    return printed;
}

bool TDocument::RenderDataChain(TPage& page, int kind)
{
    TBand* first = page.Band(kind);
    if (!DoNeedData(kind))
        return false;
    PrintGroupHeader(page, kind);
    const int savedY = page.CurY;
    const bool savedPending = page.HeaderPending;
    for (TBand* b = first; b; b = b->Next)
        RenderBand(page, *b, false, true);
    if (page.CurY > bottomLimit_) {
        NewSheet(page);
    } else {
        page.CurY = savedY;
        page.HeaderPending = savedPending;
    }
    for (TBand* b = first; b; b = b->Next)
        RenderBand(page, *b, false, false);
    return true;
}

void TDocument::PrintGroupHeader(TPage& page, int dataKind)
{
    int header = -1;
    if (dataKind == btMasterData && lines_[lcMaster] == 1)
        header = btMasterHeader;
    else if (dataKind == btDetailData && lines_[lcDetail] == 1)
        header = btDetailHeader;
    else if (dataKind == btSubdetailData && lines_[lcSubdetail] == 1)
        header = btSubdetailHeader;
    if (header >= 0 && HasContent(page, header))
        RenderKind(page, header);
}

int TDocument::BandPosition(TPage& page, TBand& band)
{
    const int templateTop = band.Top;
    switch (band.Kind) {
    case btReportTitle:
    case btMasterHeader: return page.Continue ? page.CurY : templateTop;
    case btPageHeader:
        if (page.HeaderPending)
            return page.Continue ? page.CurY : templateTop;
        return SheetTop(page.O);
    case btPageFooter:
    case btOverlay: return templateTop;
    case btMasterData: {
        const bool atTemplate = page.HeaderPending && !HasContent(page, btMasterHeader) && !page.Continue;
        page.HeaderPending = false;
        return atTemplate ? templateTop : page.CurY;
    }
    case btFree: return 0;
    default: return page.CurY;
    }
}

bool TDocument::RenderBand(TPage& page, TBand& band, bool askData, bool measuring)
{
    Restore<int> keepTop(band.Top);
    const bool data = IsDataKind(band.Kind);
    if (data && askData) {
        if (!DoNeedData(band.Kind))
            return false;
        PrintGroupHeader(page, band.Kind);
    }
    if (band.Views.empty())
        return data && askData;
    int top = BandPosition(page, band);
    band.Top = top;
    int height = band.Height;
    if (data) {
        for (TView* v : band.Views) {
            if (!v->SC || !canvas_)
                continue;
            MeasuredHeight = 0;
            v->Draw(*canvas_, dmMeasure);
            height = std::max(height, MeasuredHeight);
        }
    }
    band.CurHeight = height;
    const bool fixed
        = band.Kind == btPageFooter || band.Kind == btOverlay || band.Kind == btFree || band.Kind == btPageHeader;
    if (!measuring && !fixed && qint64(top) + height > bottomLimit_) {
        NewSheet(page);
        top = page.CurY;
        band.Top = top;
    }
    if (!measuring && canvas_) {
        for (TView* v : band.Views) {
            if (data && v->SC) {
                Restore<int> keepH(v->H);
                v->H = height - v->Y - 1;
                v->Draw(*canvas_, dmDrawMeasured);
            } else {
                v->Draw(*canvas_, dmDraw);
            }
        }
    }
    // Summed in 64 bits: a band higher than any sheet moves the next one
    // onto a new sheet, never below or above every sheet.
    if (band.Kind != btFree && band.Kind != btOverlay)
        page.CurY = static_cast<int>(std::min<qint64>(qint64(top) + height - 1, std::numeric_limits<int>::max()));
    return true;
}

bool TDocument::DoNeedData(int kind)
{
    bool more = false;
    if (Events.OnNeedData) {
        Events.OnNeedData(*this, kind, more);
    } else if (DemoData) {
        if (kind == btMasterData) {
            more = --demo_[0] >= 0;
            demo_[1] = 3;
        } else if (kind == btDetailData) {
            more = --demo_[1] >= 0;
            demo_[2] = 2;
        } else if (kind == btSubdetailData) {
            more = --demo_[2] >= 0;
        }
    }
    if (more) {
        if (kind == btMasterData) {
            ++lines_[lcMaster];
            lines_[lcDetail] = 0;
            lines_[lcSubdetail] = 0;
        } else if (kind == btDetailData) {
            ++lines_[lcDetail];
            ++lines_[lcDetailTotal];
            lines_[lcSubdetail] = 0;
        } else if (kind == btSubdetailData) {
            ++lines_[lcSubdetail];
            ++lines_[lcSubdetailTotal];
        }
    }
    return more;
}

void TDocument::NewSheet(TPage& page)
{
    if (!(page.Continue && page.FooterPrinted))
        RenderKind(page, btPageFooter);
    page.HeaderPending = false;
    FinishCanvas();
    Progress(outCounter_ + 1);
    ++outCounter_;
    OpenCanvas(AddOutputPage(page.O));
    page.Continue = false;
    RenderKind(page, btOverlay);
    const bool header = RenderKind(page, btPageHeader);
    page.CurY = SheetTop(page.O) + (header ? page.Band(btPageHeader)->CurHeight : 0);
}

// ---------------------------------------------------------------- printing

TPrintOutcome TDocument::Print(int fromPage, int toPage, bool collate, int copies)
{
    IPrintBackend& backend = PrintBackend();
    MeasurePrinter();
    Restore<bool> keepPrinting(printing_);
    printing_ = true;
    const int n = OutputPageCount();
    const int from = std::max(fromPage, 1) - 1;
    const int to = std::min(toPage, n) - 1;
    jobTitle_ = NameDocument().isEmpty() ? QStringLiteral("Печать документа") : NameDocument();
    if (n == 0 || from > to)
        throw EAppException(kNoPrintData);
    const int count = to - from + 1;
    copies = std::max(copies, 1);
    Progress(0);
    printerOrientation_ = output_[from]->Orientation;
    AtExit finish([&] { backend.Finish(); });
    backend.BeginJob(jobTitle_, printerOrientation_);
    jobCounter_ = 1;
    firstInJob_ = true;
    int printed = 0;
    bool aborted = false;
    auto one = [&](int i) {
        PrintPage(i);
        ++printed;
        Progress(printed * 100 / (count * copies));
        aborted = !backend.Printing();
        return !aborted;
    };
    if (!collate) {
        for (int i = from; i <= to && !aborted; ++i)
            for (int c = 0; c < copies && one(i); ++c) {}
    } else {
        for (int c = 0; c < copies && !aborted; ++c)
            for (int i = from; i <= to && one(i); ++i) {}
    }
    if (!aborted)
        backend.EndJob();
    return aborted ? TPrintOutcome::Cancelled : TPrintOutcome::Printed;
}

void TDocument::PrintPage(int index)
{
    IPrintBackend& backend = PrintBackend();
    const TPageInfo& page = *output_[index];
    if (page.Orientation != printerOrientation_) {
        backend.EndJob();
        printerOrientation_ = page.Orientation;
        if (jobCounter_ > 1)
            jobTitle_.chop(6);
        ++jobCounter_;
        jobTitle_ += QStringLiteral(" (%1)").arg(jobCounter_, 3, 10, QLatin1Char('0'));
        backend.BeginJob(jobTitle_, printerOrientation_);
        firstInJob_ = true;
    }
    if (!firstInJob_)
        backend.NewSheet();
    firstInJob_ = false;
    const TPrinterGeometry& g = Geometry(page.Orientation);
    const QRect dest = Margins ? QRect(-g.OffX, -g.OffY, g.PhysW, g.PhysH) : QRect(0, 0, g.PrintW, g.PrintH);
    backend.DrawPage(index, page, dest);
}

// ---------------------------------------------------------------- windows

void TDocument::Preview(bool modal)
{
    if (previewOpen_) {
        if (previewWindow_)
            previewWindow_->BringToFront();
        return;
    }
    Prepare();
    auto& make = ReportWindowFactories().Preview;
    if (!make)
        return;
    const QString caption = NameDocument().isEmpty() ? QStringLiteral("Просмотр документа") : NameDocument();
    previewOpen_ = true;
    try {
        previewWindow_ = make(*this, caption, OutputPageCount(), modal);
    } catch (...) {
        previewOpen_ = false;
        previewWindow_ = nullptr;
        throw;
    }
}

void TDocument::Design(bool modal)
{
    if (designerOpen_) {
        if (designWindow_)
            designWindow_->BringToFront();
        return;
    }
    auto& make = ReportWindowFactories().Design;
    if (!make)
        return;
    {
        BusyScope busy;
        MeasurePrinter();
    }
    designerOpen_ = true;
    try {
        if (modal) {
            // OnEndDesign may have freed the document: it is not touched again.
            make(*this, true);
            return;
        }
        designWindow_ = make(*this, false);
    } catch (...) {
        designerOpen_ = false;
        designWindow_ = nullptr;
        throw;
    }
}

void TDocument::PreviewClosed()
{
    previewOpen_ = false;
    previewWindow_ = nullptr;
    ClearOutputPages();
    if (Events.OnEndPrintView)
        Events.OnEndPrintView(*this);
}

void TDocument::DesignClosed()
{
    designerOpen_ = false;
    designWindow_ = nullptr;
    if (Events.OnEndDesign)
        Events.OnEndDesign(*this);
}
