#include "reports/PrintBackend.h"

#include "foundation/Messages.h"
#include "platform/Exceptions.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cmath>

namespace {

int ToScreen(int device, int dpi) { return dpi > 0 ? static_cast<int>(std::lround(device * 96.0 / dpi)) : device; }

void FillScreenUnits(TPrinterGeometry& g, int dpiX, int dpiY)
{
    g.PhysWs = ToScreen(g.PhysW, dpiX);
    g.PhysHs = ToScreen(g.PhysH, dpiY);
    g.OffXs = ToScreen(g.OffX, dpiX);
    g.OffYs = ToScreen(g.OffY, dpiY);
    g.PrintWs = ToScreen(g.PrintW, dpiX);
    g.PrintHs = ToScreen(g.PrintH, dpiY);
}

std::function<std::shared_ptr<IPrintBackend>()>& Maker()
{
    static std::function<std::shared_ptr<IPrintBackend>()> maker;
    return maker;
}

QPageLayout::Orientation ToQt(int orientation)
{
    return orientation == 1 ? QPageLayout::Landscape : QPageLayout::Portrait;
}

// Why a print could not start, in the clerk's words.
QString CannotStart(const QPrinter& printer)
{
    const QString title = QStringLiteral("Печать не началась|");
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        const QString name = printer.outputFileName();
        if (name.isEmpty())
            return title + QStringLiteral("Не указан файл, в который печатать");
        const QFileInfo file(name);
        QString why;
        if (file.isDir())
            why = QStringLiteral(": это папка, а не файл");
        else if (!file.dir().exists())
            why = QStringLiteral(": нет папки ") + EscapeBars(file.absolutePath());
        else if (file.exists() && !file.isWritable())
            why = QStringLiteral(": файл защищен от записи");
        else if (!QFileInfo(file.absolutePath()).isWritable())
            why = QStringLiteral(": в папку нельзя писать");
        return title + QStringLiteral("Не удалось записать файл ") + EscapeBars(name) + why;
    }
    if (printer.printerName().isEmpty())
        return title + QStringLiteral("В системе нет ни одного принтера. Выберите в окне печати печать в файл PDF");
    return title + QStringLiteral("Принтер %1 недоступен").arg(EscapeBars(printer.printerName()));
}

} // namespace

QImage TPageInfo::Image() const
{
    QImage image(Sheet, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.drawPicture(0, 0, Picture);
    return image;
}

TPrinterGeometry A4Geometry(int orientation, int dpi, int border)
{
    TPrinterGeometry g;
    int w = static_cast<int>(std::lround(210.0 / 25.4 * dpi));
    int h = static_cast<int>(std::lround(297.0 / 25.4 * dpi));
    if (orientation == 1)
        std::swap(w, h);
    g.PhysW = w;
    g.PhysH = h;
    g.OffX = g.OffY = border;
    g.PrintW = w - 2 * border;
    g.PrintH = h - 2 * border;
    FillScreenUnits(g, dpi, dpi);
    return g;
}

// ---------------------------------------------------------------- system printer

TSystemPrintBackend::TSystemPrintBackend() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    if (!ChosenPrinterName().isEmpty())
        printer_->setPrinterName(ChosenPrinterName());
    printer_->setPageSize(QPageSize(QPageSize::A4));
    // Without any printer Qt prints into a PDF file, which has no border.
    if (printer_->outputFormat() == QPrinter::PdfFormat)
        printer_->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

QString& ChosenPrinterName()
{
    static QString name;
    return name;
}

TSystemPrintBackend::~TSystemPrintBackend()
{
    if (painter_ && painter_->isActive())
        painter_->end();
}

TPrinterGeometry TSystemPrintBackend::Measure(int orientation)
{
    if (printer_->outputFormat() == QPrinter::NativeFormat && QPrinterInfo::defaultPrinter().isNull())
        return A4Geometry(orientation, 96);
    printer_->setPageOrientation(ToQt(orientation));
    const QPageLayout layout = printer_->pageLayout();
    const int res = printer_->resolution();
    const QRect full = layout.fullRectPixels(res);
    const QRect paint = layout.paintRectPixels(res);
    TPrinterGeometry g;
    g.PhysW = full.width();
    g.PhysH = full.height();
    g.OffX = paint.x();
    g.OffY = paint.y();
    g.PrintW = paint.width();
    g.PrintH = paint.height();
    FillScreenUnits(g, printer_->logicalDpiX(), printer_->logicalDpiY());
    return g;
}

void TSystemPrintBackend::BeginJob(const QString& title, int orientation)
{
    printer_->setDocName(title);
    printer_->setPageOrientation(ToQt(orientation));
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(printer_.get())) {
        painter_.reset();
        throw EAppException(CannotStart(*printer_));
    }
}

void TSystemPrintBackend::NewSheet() { printer_->newPage(); }

void TSystemPrintBackend::DrawPage(int, const TPageInfo& page, const QRect& dest)
{
    if (!painter_ || !painter_->isActive() || page.Sheet.isEmpty())
        return;
    painter_->save();
    painter_->translate(dest.topLeft());
    // A picture scales itself from its own resolution to the device's.
    const qreal own = qreal(page.Picture.logicalDpiX()) / printer_->logicalDpiX();
    const qreal ownY = qreal(page.Picture.logicalDpiY()) / printer_->logicalDpiY();
    painter_->scale(qreal(dest.width()) / page.Sheet.width() * own, qreal(dest.height()) / page.Sheet.height() * ownY);
    painter_->drawPicture(0, 0, page.Picture);
    painter_->restore();
}

bool TSystemPrintBackend::Printing() const
{
    return painter_ && painter_->isActive() && printer_->printerState() != QPrinter::Aborted;
}

void TSystemPrintBackend::EndJob()
{
    if (painter_ && painter_->isActive())
        painter_->end();
    painter_.reset();
}

void TSystemPrintBackend::Finish() { EndJob(); }

QString TSystemPrintBackend::OutputFile() const
{
    return printer_->outputFormat() == QPrinter::PdfFormat ? printer_->outputFileName() : QString();
}

// ---------------------------------------------------------------- PDF

TPdfPrintBackend::TPdfPrintBackend(const QString& fileName, int dpi)
{
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(fileName);
    printer_->setResolution(dpi);
    printer_->setPageSize(QPageSize(QPageSize::A4));
    printer_->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

// Every job of one print goes into the same file: a later job is a new
// sheet in the new orientation.
void TPdfPrintBackend::BeginJob(const QString& title, int orientation)
{
    if (painter_ && painter_->isActive()) {
        printer_->setPageOrientation(ToQt(orientation));
        printer_->newPage();
        return;
    }
    TSystemPrintBackend::BeginJob(title, orientation);
}

void TPdfPrintBackend::Finish() { TSystemPrintBackend::EndJob(); }

// ---------------------------------------------------------------- recording

void TRecordingPrintBackend::BeginJob(const QString& title, int orientation)
{
    Log << QStringLiteral("begin %1 %2").arg(title).arg(orientation);
}

void TRecordingPrintBackend::DrawPage(int index, const TPageInfo& page, const QRect& dest)
{
    Log << QStringLiteral("page %1 %2 %3x%4 -> %5,%6 %7x%8")
               .arg(index + 1)
               .arg(page.Orientation)
               .arg(page.Sheet.width())
               .arg(page.Sheet.height())
               .arg(dest.x())
               .arg(dest.y())
               .arg(dest.width())
               .arg(dest.height());
    if (AbortAfterPages >= 0 && ++Pages >= AbortAfterPages)
        aborted_ = true;
}

std::shared_ptr<IPrintBackend> MakeDefaultPrintBackend()
{
    if (Maker())
        return Maker()();
    return std::make_shared<TSystemPrintBackend>();
}

void SetDefaultPrintBackendMaker(std::function<std::shared_ptr<IPrintBackend>()> maker) { Maker() = std::move(maker); }
