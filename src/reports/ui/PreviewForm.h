#pragma once
// The preview window: the output pages of one document, zoomed, paged,
// printed, saved to a rendered pages file and opened from one.

#include "foundation/ui/base/FormBase.h"
#include "reports/ReportDocument.h"

#include <QAbstractScrollArea>
#include <functional>
#include <vector>

class QLabel;
class QProgressBar;
class QStackedWidget;
class QToolButton;
class TPreviewForm;

// The zoom: a percent, or one of the modes that follow the window's size.
enum class TZoomMode { Percent, PageWidth, WholePage, TwoPages };

// The page area: lays the pages out in rows and draws them.
class TPreviewPages final : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TPreviewPages(TPreviewForm& form);
    // The zoom the mode gives for the current page and the client size.
    double Zoom() const { return zoom_; }
    // Page i's place (0-based) in the viewport's coordinates.
    QRect PageRect(int i) const;
    void Relayout();
    void ShowPage(int i);
    void ScrollBy(int dx, int dy);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    TPreviewForm& form_;
    double zoom_ = 1;
    std::vector<QRect> rects_; // in the content's coordinates
};

class TPreviewForm final : public TForm, public IReportWindow {
    Q_OBJECT
public:
    explicit TPreviewForm(TDocument& document, QWidget* parent = nullptr);
    ~TPreviewForm() override;
    void BringToFront() override;

    TDocument& Document() { return doc_; }
    int PageCount() const { return doc_.OutputPageCount(); }
    int CurrentPage() const { return current_; } // 1-based, 0 without pages
    void SetCurrentPage(int page);
    TZoomMode ZoomMode() const { return zoomMode_; }
    int ZoomPercent() const { return percent_; }
    void SetZoomMode(TZoomMode mode);
    void SetZoomPercent(int percent);
    // The page-geometry flag: the pages cover the whole sheet.
    bool PageMargins() const { return margins_; }
    bool FileLoaded() const { return fileLoaded_; }
    bool PaintingAllowed() const { return painting_ && !busy_; }
    bool Busy() const { return busy_; }

    void SavePages();
    void LoadPages();
    void PrintPages();

    // The file dialog: answers the chosen name, empty when cancelled.
    // filter is in Qt's form.
    using TFileChooser = std::function<QString(QWidget* parent, bool save, const QString& filter)>;
    static TFileChooser& FileChooser();
    // The print dialog: fills the range (1-based), copies and collation;
    // false when cancelled.
    struct TPrintChoice {
        int From = 1, To = 1, Copies = 1;
        bool Collate = false;
    };
    using TPrintChooser = std::function<bool(TPreviewForm& form, IPrintBackend& backend, TPrintChoice& choice)>;
    static TPrintChooser& PrintChooser();

    QStackedWidget* ToolPlace;
    QWidget* ToolPanel;
    QToolButton *SaveBtn, *LoadBtn, *PrintBtn, *ZoomBtn;
    QToolButton *WholePageBtn, *PageWidthBtn, *TwoPagesBtn, *Zoom100Btn;
    QToolButton *PrevPageBtn, *NextPageBtn, *ExitBtn;
    QProgressBar* ProgressBar;
    TPreviewPages* Pages;
    QLabel* StatusLabel;

    void done(int result) override;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    friend class TPreviewPages;
    void UpdateStatus();
    void UpdateZoomText();
    void ShowProgress(int percent);
    // The tool panel gives way to the progress bar while body runs; the
    // window cannot be closed meanwhile.
    void RunBusy(const std::function<void()>& body);

    TDocument& doc_;
    int current_ = 0;
    TZoomMode zoomMode_ = TZoomMode::WholePage;
    int percent_ = 100;
    bool margins_ = false;
    bool fileLoaded_ = false;
    bool painting_ = true;
    bool busy_ = false;
    bool closed_ = false;
};

// Where a print into a PDF file goes first: the document's name in the
// user's documents folder (the home folder when there is none).
QString DefaultPdfFileName(const QString& documentName);

// Delphi's "Desc|mask|Desc|mask" as Qt's "Desc (mask);;Desc (mask)".
QString QtFileFilter(const QString& delphiFilter);

// The engine's preview factory: a modal window is run and freed (answers
// nullptr), any other is shown and frees itself when closed.
IReportWindow* OpenPreviewWindow(TDocument& document, const QString& caption, int pageCount, bool modal);

extern const QString kPreviewSaveFilter;
extern const QString kPreviewOpenFilter;
