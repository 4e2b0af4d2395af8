#pragma once
// One report object of a template page: a text block with frame lines, a
// picture, a band marker or an owner-drawn frame, and its drawing. Report
// space is 96 pixels per inch; fonts are sized in pixels so that measuring
// and drawing agree on every device the pages are replayed on.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QStringList>

class QPainter;
class TCustomIniFile;
class TDocument;
class TBand;

// Band kinds (the b parameter of the document's events).
enum TBandType : int {
    btReportTitle = 0,
    btReportSummary = 1,
    btPageHeader = 2,
    btPageFooter = 3,
    btMasterHeader = 4,
    btMasterData = 5,
    btMasterFooter = 6,
    btDetailHeader = 7,
    btDetailData = 8,
    btDetailFooter = 9,
    btSubdetailHeader = 10,
    btSubdetailData = 11,
    btSubdetailFooter = 12,
    btOverlay = 13,
    btFree = 14,
};
constexpr int kBandKinds = 15;

// Object types.
enum TViewType : int { vtText = 0, vtPicture = 1, vtBand = 2, vtOwnerDraw = 4 };

// Drawing modes of TView::Draw.
enum TDrawMode : int { dmDesign = 0, dmMarksOn = 1, dmMarksOff = 2, dmDraw = 3, dmMeasure = 4, dmDrawMeasured = 5 };

// The colour table: 16 colours and "none" (index 16).
constexpr int kColourNone = 16;
QColor ReportColour(int index);
// A text index outside the table is black; a fill index outside it is none.
QColor TextColour(int index);
bool FillColour(int index, QColor& colour);

// Points to report pixels (8 -> 11, 10 -> 13, 12 -> 16).
int ReportPixels(int points);
// The font of a report object; "Arial" and "Courier New" are their metric
// twins "Liberation Sans" and "Liberation Mono".
QFont ReportFont(const QString& name, int points, int style);

extern const QString kAsterisks;

class TView {
public:
    TView(int type, TDocument* document);
    // Every attribute, the selection, the text lines and the picture.
    TView(const TView& source, TDocument* document);
    TView& operator=(const TView&) = delete;

    QStringList Prepared; // lines of the last measuring, drawn by mode 5
    qint32 A = 0;
    TDocument* Document = nullptr;
    TBand* Band = nullptr;
    bool Unassigned = false;
    bool Selected = false;
    int T = vtText;
    int X = 0, Y = 0, W = 0, H = 0;
    bool SC = false;
    int FT = 0;
    int FW = 1;
    int FP = 272;
    QString FN = QStringLiteral("Arial");
    int FS = 8;
    int FY = 0;
    QStringList M;
    QImage Picture;

    // Kept by a run: the template Y while in a band.
    int TemplateY = 0;

    QRect Bounds() const { return QRect(X, Y, W, H); }
    void SetBounds(const QRect& r);
    QRect HitRect() const { return Bounds().adjusted(-3, -3, 3, 3); }

    // 0 left, 1 right, 2 centre.
    int HAlign() const { return (A & 3) == 3 ? 0 : A & 3; }
    // 0 top, 1 centre, 2 bottom.
    int VAlign() const;
    bool VerticalText() const { return A & 16; }
    bool WordWrap() const { return A & 512; }
    void SetHAlign(int a);
    void SetVAlign(int a);
    void SetVerticalText(bool on);
    void SetWordWrap(bool on);

    // The bounds moved inwards on each side that carries a frame line.
    QRect InnerRect() const;
    QFont Font() const;

    void Draw(QPainter& canvas, int mode);
    // Variables of one text line replaced (the run's rule).
    QString SubstituteVariables(const QString& line) const;

    void ReadFromIni(TCustomIniFile& ini, const QString& section);
    void WriteToIni(TCustomIniFile& ini, const QString& section) const;

private:
    int BandKind() const;
};

// Kept apart for tests: the height of a text block and the paragraphs it
// would draw, with the object's layout rules.
struct TTextLine {
    QString text;
    int y = 0; // top of the paragraph, relative to the block's start
};
QList<TTextLine> LayoutTextBlock(const TView& view, const QStringList& lines, int& height);
