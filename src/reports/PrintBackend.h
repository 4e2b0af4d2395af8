#pragma once
// The printer seam: the sheet geometry a run lays out on, and the replay of
// output pages onto a printer, a PDF file or (in tests) a record of calls.

#include <QImage>
#include <QPicture>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QPrinter;

// An output page: a sheet of the given orientation, its size in report
// pixels (96 per inch) and the drawing recorded on it.
struct TPageInfo {
    int Orientation = 0;
    QSize Sheet;
    QPicture Picture;

    // The page drawn on white, a pixel per report pixel.
    QImage Image() const;
};

// One orientation of the printer, in device pixels and in report pixels.
struct TPrinterGeometry {
    int PhysW = 0, PhysH = 0, PhysWs = 0, PhysHs = 0;
    int OffX = 0, OffY = 0, OffXs = 0, OffYs = 0;
    int PrintW = 0, PrintH = 0, PrintWs = 0, PrintHs = 0;
};

// An A4 sheet at dpi with the given unprintable border (device pixels).
TPrinterGeometry A4Geometry(int orientation, int dpi, int border = 0);

class IPrintBackend {
public:
    virtual ~IPrintBackend() = default;
    virtual TPrinterGeometry Measure(int orientation) = 0;
    virtual void BeginJob(const QString& title, int orientation) = 0;
    virtual void NewSheet() = 0;
    // Replays the page stretched into dest (device pixels).
    virtual void DrawPage(int index, const TPageInfo& page, const QRect& dest) = 0;
    // False once the job was aborted.
    virtual bool Printing() const = 0;
    virtual void EndJob() = 0;
    // After the last job of one Print call (also when it failed).
    virtual void Finish() {}
    // The file a print into a file writes; empty for a printer.
    virtual QString OutputFile() const { return QString(); }
};

// QPrinter on the system's default printer (CUPS), always A4.
class TSystemPrintBackend : public IPrintBackend {
public:
    TSystemPrintBackend();
    ~TSystemPrintBackend() override;
    TPrinterGeometry Measure(int orientation) override;
    void BeginJob(const QString& title, int orientation) override;
    void NewSheet() override;
    void DrawPage(int index, const TPageInfo& page, const QRect& dest) override;
    bool Printing() const override;
    void EndJob() override;
    void Finish() override;
    QString OutputFile() const override;
    // For the print dialog.
    QPrinter& Printer() { return *printer_; }

protected:
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<class QPainter> painter_;
};

// QPrinter writing one PDF file: every job of a Print call goes into it.
class TPdfPrintBackend : public TSystemPrintBackend {
public:
    explicit TPdfPrintBackend(const QString& fileName, int dpi = 600);
    void BeginJob(const QString& title, int orientation) override;
    void EndJob() override {}
    void Finish() override;
};

// Records the calls as text lines; can simulate an abort.
class TRecordingPrintBackend : public IPrintBackend {
public:
    TRecordingPrintBackend(int dpi = 600, int border = 0) : dpi_(dpi), border_(border) {}
    TPrinterGeometry Measure(int orientation) override { return A4Geometry(orientation, dpi_, border_); }
    void BeginJob(const QString& title, int orientation) override;
    void NewSheet() override { Log << QStringLiteral("sheet"); }
    void DrawPage(int index, const TPageInfo& page, const QRect& dest) override;
    bool Printing() const override { return !aborted_; }
    void EndJob() override { Log << QStringLiteral("end"); }
    void Finish() override { Log << QStringLiteral("finish"); }

    QStringList Log;
    int AbortAfterPages = -1; // the job aborts after this many pages
    int Pages = 0;

private:
    int dpi_, border_;
    bool aborted_ = false;
};

// The backend a document uses when none is given to it: the system printer
// unless the program (or a test) installs another maker.
std::shared_ptr<IPrintBackend> MakeDefaultPrintBackend();

// The printer chosen in the printer set-up for this run; empty: the
// system's default printer.
QString& ChosenPrinterName();
void SetDefaultPrintBackendMaker(std::function<std::shared_ptr<IPrintBackend>()> maker);
