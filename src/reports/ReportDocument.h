#pragma once
// The report document: a template of pages and objects, its ".dcf" file,
// the run that fills the bands with the host's data into output pages, and
// the printing of those pages. The host answers through the events; the
// preview and designer windows come from factories filled by the windows'
// layer, so the engine opens no window of its own.

#include "reports/PrintBackend.h"
#include "reports/ReportBands.h"

#include <QPainter>
#include <QRect>
#include <functional>
#include <memory>
#include <vector>

class TDocument;

struct TDocumentEvents {
    std::function<void(TDocument&)> OnBeginDoc;
    std::function<void(TDocument&)> OnEndDoc;
    std::function<void(TDocument&, int pg, QStringList& master, QStringList& detail, QStringList& subdetail)>
        OnBeginPage;
    std::function<void(TDocument&, int pg)> OnEndPage;
    std::function<void(TDocument&, int b, const QString& name, QString& value)> OnGetValue;
    std::function<void(TDocument&, int b, QStringList& memo, TView& view)> OnEnterRect;
    std::function<void(TDocument&, int b, QStringList& memo, QPainter& canvas, const QRect& rect)> OnOwnerDraw;
    std::function<void(TDocument&, int b, bool& needMore)> OnNeedData;
    std::function<void(TDocument&, int n)> OnProgress;
    std::function<void(TDocument&)> OnEndDesign;
    std::function<void(TDocument&)> OnEndPrintView;
};

// The designer's settings kept in the template, and its unsaved defaults
// for new objects.
struct T_RPDefDesigner {
    int Left = 10, Top = 10, Height = 470, Width = 590, WState = 2, GridSize = 4;
    bool ShowGrid = true, SnapToGrid = true, ShapeInvers = false;
    QString LabelText = QStringLiteral("Текст");
    QString FontName = QStringLiteral("Arial");
    int FontSize = 10, FontStyle = 0, FrameWidth = 1, FrameTyp = 0;
    bool ClearAsWhite = false, ShowBandName = true, BandNameRus = true;
    int HAlign = 0, VAlign = 0, WordWrap = 0, VertText = 0;
    int FP = 272;
};

// The default pictures of picture objects whose file is missing.
struct T_RPDefaultProperties {
    QImage Picture;
    QImage Second;
};
T_RPDefaultProperties& RPDefaultProperties();

// A window the document opened; the window tells the document when it
// closes (PreviewClosed / DesignClosed).
class IReportWindow {
public:
    virtual ~IReportWindow() = default;
    virtual void BringToFront() = 0;
};
struct TReportWindowFactories {
    // Shows the window; a modal one returns only after it closed (and then
    // answers nullptr).
    std::function<IReportWindow*(TDocument&, const QString& caption, int pageCount, bool modal)> Preview;
    std::function<IReportWindow*(TDocument&, bool modal)> Design;
};
TReportWindowFactories& ReportWindowFactories();

// Line counters, in the order of the system variables.
enum TLineCounter : int { lcMaster, lcDetail, lcSubdetail, lcDetailTotal, lcSubdetailTotal };

enum class TPrintOutcome { Printed, Cancelled };

class TDocument {
public:
    TDocument();
    ~TDocument();
    TDocument(const TDocument&) = delete;
    TDocument& operator=(const TDocument&) = delete;

    // Published properties.
    bool Margins = false;
    QString Title;
    QStringList Variables;
    TDocumentEvents Events;
    QString NameSaveFile;
    int Category = 0;
    int Version = 0;
    int Charset = 204; // kept; fonts are Unicode
    QString NameDocument() const { return nameDocument_.isEmpty() ? Title : nameDocument_; }
    const QString& StoredNameDocument() const { return nameDocument_; }
    void SetNameDocument(const QString& name) { nameDocument_ = name; }

    int SourceVersion = 1;
    bool DoubleOnSheet = false;
    int MarginLeft = 0, MarginTop = 0, MarginRight = 0, MarginBottom = 0; // 1/1000 cm, not used by the run
    bool HeaderOnly = false;
    bool SavingAllowed = true;
    bool Unmodified = false;
    bool DemoData = false;
    T_RPDefDesigner Designer;

    // Template pages.
    int PageCount() const { return static_cast<int>(pages_.size()); }
    TPage* Page(int i) const { return pages_.at(i).get(); }
    TPage* AddPage(int orientation);
    // The last page is never deleted; the active page stays in range.
    void DeletePage(int i);
    int ActivePageIndex() const { return active_; }
    TPage* ActivePage() const { return pages_.empty() ? nullptr : pages_[active_].get(); }
    void SetActivePage(int i);

    // The template file.
    void LoadFromFile(const QString& fileName = QString());
    void SaveToFile(const QString& fileName = QString());
    void ReadFromIni(TCustomIniFile& ini, const QString& prefix);
    void WriteToIni(TCustomIniFile& ini, const QString& prefix);

    // The run.
    void Prepare();
    bool Rendering() const { return rendering_; }
    void SetRendering(bool on) { rendering_ = on; }
    int Counter(TLineCounter c) const { return lines_[c]; }
    // False for a name that is no system variable.
    bool GetSystemValue(const QString& name, QString& value) const;

    // Output pages.
    int OutputPageCount() const { return static_cast<int>(output_.size()); }
    const TPageInfo& OutputPage(int i) const { return *output_.at(i); }
    TPageInfo& AddOutputPage(int orientation);
    void ClearOutputPages();

    // Printing (pages 1-based, inclusive).
    TPrintOutcome Print(int fromPage, int toPage, bool collate = false, int copies = 1);
    bool Printing() const { return printing_; }
    void SetPrintBackend(std::shared_ptr<IPrintBackend> backend) { backend_ = std::move(backend); }
    IPrintBackend& PrintBackend();

    // The printer's geometry and the sheet geometry of an orientation.
    void MeasurePrinter();
    const TPrinterGeometry& Geometry(int orientation);
    int UsableWidth(int orientation);
    int SheetTop(int orientation);
    int SheetHeight(int orientation);

    // Windows.
    void Preview(bool modal);
    void Design(bool modal);
    void PreviewClosed();
    void DesignClosed();
    bool PreviewOpen() const { return previewOpen_; }
    bool DesignerOpen() const { return designerOpen_; }

    // Used by the objects while drawing.
    int MeasuredHeight = 0;
    // The designer's selection marks of a selected object.
    std::function<void(QPainter&, TView&)> DrawSelectionMarks;

private:
    friend class TRunScope;
    // Refused pictures are named in "refused".
    void ReadPages(
        TCustomIniFile& ini, const QString& prefix, std::vector<std::unique_ptr<TPage>>& pages, QStringList& refused);
    QString Section(const QString& prefix, const QString& name) const;

    // Run steps.
    void RenderPage(TPage& page);
    bool RenderKind(TPage& page, int kind, bool measuring = false);
    bool RenderDataChain(TPage& page, int kind);
    bool RenderBand(TPage& page, TBand& band, bool askData, bool measuring);
    int BandPosition(TPage& page, TBand& band);
    void PrintGroupHeader(TPage& page, int dataKind);
    bool HasContent(TPage& page, int kind) const;
    bool DoNeedData(int kind);
    void NewSheet(TPage& page);
    void OpenCanvas(TPageInfo& info);
    void FinishCanvas();
    void Progress(int n);
    void PrintPage(int index);

    QString nameDocument_;
    std::vector<std::unique_ptr<TPage>> pages_;
    int active_ = 0;
    std::vector<std::unique_ptr<TPageInfo>> output_;
    int outCounter_ = 0;
    int lines_[5] = {0, 0, 0, 0, 0};
    int demo_[3] = {0, 0, 0};
    int carriedY_ = 0;
    int bottomLimit_ = 0;
    std::unique_ptr<QPainter> canvas_;
    bool rendering_ = false;
    bool printing_ = false;
    bool previewOpen_ = false, designerOpen_ = false;
    IReportWindow* previewWindow_ = nullptr;
    IReportWindow* designWindow_ = nullptr;
    std::shared_ptr<IPrintBackend> backend_;
    TPrinterGeometry geometry_[2];
    // Printing state.
    int printerOrientation_ = 0;
    int jobCounter_ = 0;
    QString jobTitle_;
    bool firstInJob_ = false;
    bool writingTemplate_ = false;
};

// The document's own texts.
extern const QString kNoPrintData; // "Нет данных для печати"
extern const QString kDamagedTemplate; // "Поврежден файл-шаблон"

// The one rule for a template's file name: ".dcf" is added to a name
// without an extension ("TEST" is TEST.dcf); an empty name stays empty.
QString DcfFileName(const QString& name);
// Where a template's picture is read from: the name is taken against the
// template's folder, links and ".." resolved. Empty when there is no such
// file; "refused" when the file lies outside the template's folder and the
// program folder.
QString TemplatePicturePath(const QString& name, const QString& templateFolder, bool& refused);
