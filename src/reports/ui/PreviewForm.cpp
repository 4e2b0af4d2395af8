#include "reports/ui/PreviewForm.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/FormFuncs.h"

#include "reports/RenderedPages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

const QString kPreviewSaveFilter = QStringLiteral("Файл отчета (*.rep)|*.rep");
const QString kPreviewOpenFilter
    = QStringLiteral("Файл отчета (*.rep)|*.rep|Файл Quick Report 1.0 (*.qrp)|*.qrp|Файл Quick Report 2.0 (*.qr)|*.qr");

namespace {

const QString kPageWidth = QStringLiteral("По ширине страницы");
const QString kWholePage = QStringLiteral("Страница целиком");
const QString kTwoPages = QStringLiteral("Две страницы");
constexpr int kGap = 10;
// Below this the layout would divide by nothing.
constexpr double kSmallestZoom = 0.05;
// A page of unknown size is taken as A4 portrait.
const QSize kA4(794, 1123);

QToolButton* Tool(QWidget* parent, const char* name, const QString& text)
{
    auto* b = Named(new QToolButton(parent), name);
    b->setText(text);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QSize SheetOf(const TPageInfo& page) { return page.Sheet.isEmpty() ? kA4 : page.Sheet; }

} // namespace

QString QtFileFilter(const QString& delphiFilter)
{
    const QStringList parts = delphiFilter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString mask = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        const QString& desc = parts[i];
        out << (desc.endsWith(QLatin1Char('(') + mask + QLatin1Char(')')) ? desc
                                                                          : desc + QStringLiteral(" (%1)").arg(mask));
    }
    return out.join(QStringLiteral(";;"));
}

QString DefaultPdfFileName(const QString& documentName)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    // Quotes go; what a file name cannot hold becomes a blank.
    QString name = documentName;
    name.remove(QLatin1Char('"'));
    for (QChar& c : name)
        if (c.unicode() < 32 || QStringLiteral("/\\:*?<>|").contains(c))
            c = QLatin1Char(' ');
    name = name.simplified();
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("Документ"));
    return QDir(folder).filePath(name + QStringLiteral(".pdf"));
}

// ---------------------------------------------------------------- page area

TPreviewPages::TPreviewPages(TPreviewForm& form) : QAbstractScrollArea(&form), form_(form)
{
    setObjectName(QStringLiteral("Pages"));
    // Both bars always stand, so the client size does not change with the zoom.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
}

QRect TPreviewPages::PageRect(int i) const
{
    if (i < 0 || i >= int(rects_.size()))
        return QRect();
    return rects_[size_t(i)].translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
}

void TPreviewPages::Relayout()
{
    TDocument& doc = form_.doc_;
    const int n = doc.OutputPageCount();
    const int cw = viewport()->width(), ch = viewport()->height();
    // The sheets are already wide for a landscape page: nothing is swapped.
    const QSize cur = form_.current_ > 0 && form_.current_ <= n ? SheetOf(doc.OutputPage(form_.current_ - 1)) : kA4;
    const double w = cur.width(), h = cur.height();
    double zoom = form_.percent_ / 100.0;
    int perRow = 0; // as many as fit
    switch (form_.zoomMode_) {
    case TZoomMode::PageWidth:
        zoom = (cw - 2 * kGap) / w;
        perRow = 1;
        break;
    case TZoomMode::WholePage:
        zoom = (ch - 2 * kGap) / h;
        perRow = 1;
        break;
    case TZoomMode::TwoPages:
        zoom = std::min((cw - 3 * kGap) / (2 * w), (ch - 2 * kGap) / h);
        perRow = 2;
        break;
    case TZoomMode::Percent: break;
    }
    zoom_ = std::max(zoom, kSmallestZoom);

    rects_.clear();
    struct Row {
        int first, count, width;
    };
    std::vector<Row> rows;
    int y = kGap, contentW = 0;
    for (int i = 0; i < n;) {
        Row row{i, 0, kGap};
        int rowH = 0;
        while (i < n) {
            const QSize s = SheetOf(doc.OutputPage(i));
            const int pw = std::max(1, int(std::lround(s.width() * zoom_)));
            const int ph = std::max(1, int(std::lround(s.height() * zoom_)));
            const bool full = perRow > 0 ? row.count >= perRow : row.width + pw + kGap > cw;
            if (row.count > 0 && full)
                break;
            rects_.emplace_back(row.width, y, pw, ph);
            row.width += pw + kGap;
            rowH = std::max(rowH, ph);
            ++row.count;
            ++i;
        }
        rows.push_back(row);
        contentW = std::max(contentW, row.width);
        y += rowH + kGap;
    }
    // Rows narrower than the client stand in its middle.
    const int areaW = std::max(contentW, cw);
    for (const Row& row : rows)
        for (int k = row.first; k < row.first + row.count; ++k)
            rects_[size_t(k)].translate((areaW - row.width) / 2, 0);
    horizontalScrollBar()->setRange(0, std::max(0, contentW - cw));
    horizontalScrollBar()->setPageStep(std::max(1, cw));
    verticalScrollBar()->setRange(0, std::max(0, y - ch));
    verticalScrollBar()->setPageStep(std::max(1, ch));
    form_.UpdateZoomText();
    viewport()->update();
}

void TPreviewPages::ShowPage(int i)
{
    if (i < 0 || i >= int(rects_.size()))
        return;
    const QRect r = rects_[size_t(i)];
    verticalScrollBar()->setValue(r.top() - kGap);
    const int left = horizontalScrollBar()->value();
    if (r.left() < left || r.right() > left + viewport()->width())
        horizontalScrollBar()->setValue(r.left() - kGap);
}

void TPreviewPages::ScrollBy(int dx, int dy)
{
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
    verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
}

void TPreviewPages::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), QColor(128, 128, 128));
    if (!form_.painting_)
        return;
    TDocument& doc = form_.doc_;
    for (int i = 0; i < int(rects_.size()) && i < doc.OutputPageCount(); ++i) {
        const QRect r = PageRect(i);
        if (!r.intersects(viewport()->rect()))
            continue;
        p.fillRect(r.translated(3, 3), Qt::black);
        p.fillRect(r, Qt::white);
        const TPageInfo& page = doc.OutputPage(i);
        const QSize sheet = SheetOf(page);
        p.save();
        p.setClipRect(r);
        p.translate(r.topLeft());
        // A picture scales itself from its own resolution to the device's.
        p.scale(double(r.width()) / sheet.width() * page.Picture.logicalDpiX() / viewport()->logicalDpiX(),
            double(r.height()) / sheet.height() * page.Picture.logicalDpiY() / viewport()->logicalDpiY());
        p.drawPicture(0, 0, page.Picture);
        p.restore();
        p.setPen(i + 1 == form_.current_ ? QPen(QColor(0, 0, 128), 2) : QPen(Qt::black));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
}

void TPreviewPages::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    Relayout();
}

void TPreviewPages::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || form_.busy_)
        return;
    for (int i = 0; i < int(rects_.size()); ++i)
        if (PageRect(i).contains(event->position().toPoint())) {
            form_.current_ = i + 1;
            form_.UpdateStatus();
            Relayout();
            return;
        }
}

void TPreviewPages::scrollContentsBy(int, int) { viewport()->update(); }

// ---------------------------------------------------------------- the window

TPreviewForm::TFileChooser& TPreviewForm::FileChooser()
{
    static TFileChooser chooser = [](QWidget* parent, bool save, const QString& filter) {
        QFileDialog dialog(parent, QString(), QString(), filter);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        if (save)
            dialog.setDefaultSuffix(QStringLiteral("rep"));
        if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    };
    return chooser;
}

TPreviewForm::TPrintChooser& TPreviewForm::PrintChooser()
{
    static TPrintChooser chooser = [](TPreviewForm& form, IPrintBackend& backend, TPrintChoice& choice) {
        auto* system = dynamic_cast<TSystemPrintBackend*>(&backend);
        QPrinter own;
        QPrinter& printer = system ? system->Printer() : own;
        QPrintDialog dialog(&printer, &form);
        dialog.setObjectName(QStringLiteral("PrintDialog"));
        // Printing into a PDF file is always offered; without a printer it
        // is the only choice and so the chosen one.
        dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange
            | QAbstractPrintDialog::PrintCollateCopies);
        dialog.setMinMax(1, std::max(1, form.PageCount()));
        // The file the printer last wrote stays; the first is the document's.
        auto* file = dialog.findChild<QLineEdit*>(QStringLiteral("filename"));
        if (file && printer.outputFileName().isEmpty())
            file->setText(DefaultPdfFileName(form.Document().NameDocument()));
        if (file) {
            // The whole path shows, as far as the screen allows.
            const QRect screen = form.screen() ? form.screen()->availableGeometry() : QRect(0, 0, 1024, 768);
            const int need = file->fontMetrics().horizontalAdvance(file->text()) + 24;
            file->setMinimumWidth(std::min(need, screen.width() / 2));
        }
        if (RunModal(dialog) != QDialog::Accepted)
            return false;
        // A PDF page has no border: the pages go onto it as on the screen.
        if (printer.outputFormat() == QPrinter::PdfFormat)
            printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
            choice.From = printer.fromPage();
            choice.To = printer.toPage();
        }
        choice.Copies = printer.copyCount();
        choice.Collate = printer.collateCopies();
        // The document repeats the pages itself; a driver that also honours
        // the count would print copies squared.
        printer.setCopyCount(1);
        return true;
    };
    return chooser;
}

TPreviewForm::TPreviewForm(TDocument& document, QWidget* parent)
    : TForm(parent, QStringLiteral("PreviewForm")), doc_(document)
{
    setWindowTitle(QStringLiteral("Предварительный просмотр"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    margins_ = doc_.Margins;
    current_ = doc_.OutputPageCount() > 0 ? 1 : 0;

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    ToolPlace = Named(new QStackedWidget(this), "ToolPlace");
    // A tool bar folds what does not fit into its extension menu.
    auto* tools = Named(new QToolBar(ToolPlace), "ToolPanel");
    tools->setMovable(false);
    ToolPanel = tools;
    SaveBtn = Tool(ToolPanel, "SaveBtn", QStringLiteral("Сохранить"));
    LoadBtn = Tool(ToolPanel, "LoadBtn", QStringLiteral("Открыть"));
    PrintBtn = Tool(ToolPanel, "PrintBtn", QStringLiteral("Печать"));
    ZoomBtn = Tool(ToolPanel, "ZoomBtn", QString());
    ZoomBtn->setPopupMode(QToolButton::InstantPopup);
    // Room for the widest percent beside the menu arrow.
    ZoomBtn->setMinimumWidth(ZoomBtn->fontMetrics().horizontalAdvance(QStringLiteral("200%")) + 24);
    auto* menu = Named(new QMenu(ZoomBtn), "ZoomMenu");
    for (int p : {200, 150, 100, 75, 50, 25, 10})
        connect(
            menu->addAction(QStringLiteral("%1%").arg(p)), &QAction::triggered, this, [this, p] { SetZoomPercent(p); });
    connect(menu->addAction(kPageWidth), &QAction::triggered, this, [this] { SetZoomMode(TZoomMode::PageWidth); });
    connect(menu->addAction(kWholePage), &QAction::triggered, this, [this] { SetZoomMode(TZoomMode::WholePage); });
    connect(menu->addAction(kTwoPages), &QAction::triggered, this, [this] { SetZoomMode(TZoomMode::TwoPages); });
    ZoomBtn->setMenu(menu);
    WholePageBtn = Tool(ToolPanel, "WholePageBtn", kWholePage);
    PageWidthBtn = Tool(ToolPanel, "PageWidthBtn", kPageWidth);
    TwoPagesBtn = Tool(ToolPanel, "TwoPagesBtn", kTwoPages);
    Zoom100Btn = Tool(ToolPanel, "Zoom100Btn", QStringLiteral("100 %"));
    PrevPageBtn = Tool(ToolPanel, "PrevPageBtn", QString());
    PrevPageBtn->setArrowType(Qt::UpArrow);
    NextPageBtn = Tool(ToolPanel, "NextPageBtn", QString());
    NextPageBtn->setArrowType(Qt::DownArrow);
    ExitBtn = Tool(ToolPanel, "ExitBtn", QStringLiteral("Закрыть"));
    // Inserting a picture or an owner-drawn object means nothing in a
    // preview: those two buttons of the designer's bar are not here.
    for (QToolButton* b : {SaveBtn, LoadBtn, PrintBtn, ZoomBtn, WholePageBtn, PageWidthBtn, TwoPagesBtn, Zoom100Btn,
             PrevPageBtn, NextPageBtn, ExitBtn})
        tools->addWidget(b);
    ProgressBar = Named(new QProgressBar(ToolPlace), "ProgressBar");
    ProgressBar->setRange(0, 100);
    ToolPlace->addWidget(ToolPanel);
    ToolPlace->addWidget(ProgressBar);
    ToolPlace->setFixedHeight(ToolPanel->sizeHint().height());
    root->addWidget(ToolPlace);

    Pages = new TPreviewPages(*this);
    root->addWidget(Pages, 1);
    auto* status = Named(new QStatusBar(this), "StatusBar");
    status->setSizeGripEnabled(false);
    StatusLabel = Named(new QLabel(status), "StatusLabel");
    status->addWidget(StatusLabel);
    root->addWidget(status);

    connect(SaveBtn, &QToolButton::clicked, this, guarded([this] { SavePages(); }));
    connect(LoadBtn, &QToolButton::clicked, this, guarded([this] { LoadPages(); }));
    connect(PrintBtn, &QToolButton::clicked, this, guarded([this] { PrintPages(); }));
    connect(WholePageBtn, &QToolButton::clicked, this, [this] { SetZoomMode(TZoomMode::WholePage); });
    connect(PageWidthBtn, &QToolButton::clicked, this, [this] { SetZoomMode(TZoomMode::PageWidth); });
    connect(TwoPagesBtn, &QToolButton::clicked, this, [this] { SetZoomMode(TZoomMode::TwoPages); });
    connect(Zoom100Btn, &QToolButton::clicked, this, [this] { SetZoomPercent(100); });
    connect(PrevPageBtn, &QToolButton::clicked, this, [this] { SetCurrentPage(current_ - 1); });
    connect(NextPageBtn, &QToolButton::clicked, this, [this] { SetCurrentPage(current_ + 1); });
    connect(ExitBtn, &QToolButton::clicked, this, [this] { reject(); });

    SetKeyPreview(true);
    // Wide enough for the whole tool panel.
    resize(std::max(960, ToolPanel->sizeHint().width()), 700);
    UpdateStatus();
    Pages->Relayout();
    Pages->setFocus();
}

TPreviewForm::~TPreviewForm() = default;

void TPreviewForm::BringToFront()
{
    showNormal();
    raise();
    activateWindow();
}

void TPreviewForm::SetCurrentPage(int page)
{
    const int n = PageCount();
    current_ = n == 0 ? 0 : std::clamp(page, 1, n);
    UpdateStatus();
    Pages->Relayout();
    Pages->ShowPage(current_ - 1);
}

void TPreviewForm::SetZoomMode(TZoomMode mode)
{
    zoomMode_ = mode;
    Pages->Relayout();
    Pages->ShowPage(current_ - 1);
}

void TPreviewForm::SetZoomPercent(int percent)
{
    percent_ = percent;
    SetZoomMode(TZoomMode::Percent);
}

void TPreviewForm::UpdateStatus() { StatusLabel->setText(QStringLiteral("Стр. %1/%2").arg(current_).arg(PageCount())); }

void TPreviewForm::UpdateZoomText() { ZoomBtn->setText(QStringLiteral("%1%").arg(std::lround(Pages->Zoom() * 100))); }

void TPreviewForm::ShowProgress(int percent)
{
    ProgressBar->setValue(percent);
    QCoreApplication::processEvents();
}

void TPreviewForm::RunBusy(const std::function<void()>& body)
{
    busy_ = true;
    ProgressBar->setValue(0);
    ToolPlace->setCurrentWidget(ProgressBar);
    struct Back {
        TPreviewForm& f;
        ~Back()
        {
            f.busy_ = false;
            f.painting_ = true;
            f.ToolPlace->setCurrentWidget(f.ToolPanel);
        }
    } back{*this};
    body();
}

void TPreviewForm::SavePages()
{
    if (busy_)
        return;
    QString name = FileChooser()(this, true, QtFileFilter(kPreviewSaveFilter));
    if (name.isEmpty())
        return;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".rep");
    std::vector<const TPageInfo*> pages;
    for (int i = 0; i < PageCount(); ++i)
        pages.push_back(&doc_.OutputPage(i));
    RunBusy([&] { SaveRenderedPages(name, margins_, pages, [this](int p) { ShowProgress(p); }); });
    Pages->Relayout();
}

void TPreviewForm::LoadPages()
{
    if (busy_)
        return;
    const QString name = FileChooser()(this, false, QtFileFilter(kPreviewOpenFilter));
    if (name.isEmpty())
        return;
    TRenderedPages read;
    // A damaged file still shows the pages read before the damage; one that
    // gave none leaves the window as it was.
    auto take = [&](bool whole) {
        if (!whole && read.Pages.empty())
            return;
        doc_.ClearOutputPages();
        for (const TPageInfo& page : read.Pages) {
            TPageInfo& out = doc_.AddOutputPage(page.Orientation);
            out.Sheet = page.Sheet;
            out.Picture = page.Picture;
        }
        margins_ = read.Margins;
        fileLoaded_ = true;
        current_ = PageCount() > 0 ? 1 : 0;
    };
    auto finish = [this] {
        UpdateStatus();
        Pages->Relayout();
        Pages->ShowPage(current_ - 1);
    };
    try {
        RunBusy([&] {
            painting_ = false;
            LoadRenderedPages(name, read, [this](int p) { ShowProgress(p); });
        });
    } catch (...) {
        take(false);
        finish();
        throw;
    }
    take(true);
    finish();
}

void TPreviewForm::PrintPages()
{
    if (busy_)
        return;
    TPrintChoice choice;
    choice.To = PageCount();
    if (!PrintChooser()(*this, doc_.PrintBackend(), choice))
        return;
    TPrintOutcome outcome = TPrintOutcome::Cancelled;
    RunBusy([&] {
        // The window's page geometry holds for this print only.
        struct Keep {
            TDocument& d;
            bool margins;
            std::function<void(TDocument&, int)> progress;
            ~Keep()
            {
                d.Margins = margins;
                d.Events.OnProgress = std::move(progress);
            }
        } keep{doc_, doc_.Margins, doc_.Events.OnProgress};
        doc_.Margins = margins_;
        doc_.Events.OnProgress = [this, host = keep.progress](TDocument& d, int n) {
            ShowProgress(n);
            if (host)
                host(d, n);
        };
        outcome = doc_.Print(choice.From, choice.To, choice.Collate, choice.Copies);
    });
    // A file is not seen coming out of a printer: the clerk is told where it went.
    const QString file = doc_.PrintBackend().OutputFile();
    if (outcome == TPrintOutcome::Printed && !file.isEmpty())
        AppMessageBox(QStringLiteral("Документ напечатан в файл\r\n") + file, QStringLiteral("Печать"));
}

bool TPreviewForm::FormKeyDown(QKeyEvent* event)
{
    if (busy_)
        return true;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int line = 20;
    switch (event->key()) {
    case Qt::Key_PageUp:
        if (ctrl)
            SetCurrentPage(current_ - 1);
        else
            Pages->ScrollBy(0, -Pages->viewport()->height());
        return true;
    case Qt::Key_PageDown:
        if (ctrl)
            SetCurrentPage(current_ + 1);
        else
            Pages->ScrollBy(0, Pages->viewport()->height());
        return true;
    case Qt::Key_Up: Pages->ScrollBy(0, -line); return true;
    case Qt::Key_Down: Pages->ScrollBy(0, line); return true;
    case Qt::Key_Left: Pages->ScrollBy(-line, 0); return true;
    case Qt::Key_Right: Pages->ScrollBy(line, 0); return true;
    case Qt::Key_Space: ZoomBtn->showMenu(); return true;
    case Qt::Key_S:
    case Qt::Key_L:
    case Qt::Key_P:
        if (!ctrl)
            return false;
        RunGuarded([&] {
            if (event->key() == Qt::Key_S)
                SavePages();
            else if (event->key() == Qt::Key_L)
                LoadPages();
            else
                PrintPages();
        });
        return true;
    default: return false;
    }
}

void TPreviewForm::closeEvent(QCloseEvent* event)
{
    if (busy_) {
        event->ignore();
        return;
    }
    TForm::closeEvent(event);
}

void TPreviewForm::done(int result)
{
    // A save, load or print in progress still uses the pages.
    if (busy_)
        return;
    if (!closed_) {
        closed_ = true;
        RunGuarded([this] { doc_.PreviewClosed(); });
        current_ = 0;
        UpdateStatus();
    }
    TForm::done(result);
}

IReportWindow* OpenPreviewWindow(TDocument& document, const QString& caption, int, bool modal)
{
    if (modal) {
        TPreviewForm form(document);
        form.setWindowTitle(caption);
        form.ShowModal();
        return nullptr;
    }
    auto* form = new TPreviewForm(document);
    form->setAttribute(Qt::WA_DeleteOnClose);
    // A window opened from a modal one (the catalogue) would be blocked by
    // it: the preview then waits on top of it instead.
    if (QApplication::activeModalWidget())
        form->setWindowModality(Qt::ApplicationModal);
    form->setWindowTitle(caption);
    form->show();
    return form;
}
