// The ".dcf" template file: the document's common settings, the designer's
// settings, every template page and every object, in the program's INI
// format (CP1251, CRLF).
#include "foundation/IniFiles.h"
#include "foundation/Messages.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "reports/ReportDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSet>

namespace {

QSize ScreenSize()
{
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* s = app->primaryScreen())
            return s->size();
    return QSize(1024, 768);
}

bool KnownType(int t) { return t == vtText || t == vtPicture || t == vtBand || t == vtOwnerDraw; }

// Sizes from a file are cut to this (some 260 metres): no sheet is near it,
// and the layout's sums stay far from overflowing.
constexpr int kMaxExtent = 1000000;

// Whether a resolved path lies in the folder or below it.
bool Inside(const QString& path, const QString& folder)
{
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty())
        return false;
    // "/a/tpl" does not hold "/a/tpl2/x.png".
    return path.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
}

} // namespace

QString DcfFileName(const QString& name)
{
    return name.isEmpty() || !QFileInfo(name).suffix().isEmpty() ? name : name + QStringLiteral(".dcf");
}

QString TemplatePicturePath(const QString& name, const QString& templateFolder, bool& refused)
{
    refused = false;
    if (name.trimmed().isEmpty())
        return QString();
    // Resolved before the check, so that neither a link nor ".." leads out.
    const QString path = QFileInfo(QDir(templateFolder).absoluteFilePath(name)).canonicalFilePath();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return QString();
    if (Inside(path, templateFolder) || Inside(path, ProgramFolder()))
        return path;
    refused = true;
    return QString();
}

QString TDocument::Section(const QString& prefix, const QString& name) const
{
    return prefix.isEmpty() ? name : prefix + QLatin1Char(' ') + name;
}

// ---------------------------------------------------------------- objects

void TView::WriteToIni(TCustomIniFile& ini, const QString& s) const
{
    ini.WriteInteger(s, QStringLiteral("T"), T);
    ini.WriteInteger(s, QStringLiteral("X"), X);
    ini.WriteInteger(s, QStringLiteral("Y"), Y);
    ini.WriteInteger(s, QStringLiteral("H"), H);
    ini.WriteInteger(s, QStringLiteral("W"), W);
    ini.WriteBool(s, QStringLiteral("SC"), SC);
    ini.WriteInteger(s, QStringLiteral("FT"), FT);
    ini.WriteInteger(s, QStringLiteral("FW"), FW);
    ini.WriteInteger(s, QStringLiteral("FP"), FP);
    ini.WriteQuoted(s, QStringLiteral("FN"), FN);
    ini.WriteInteger(s, QStringLiteral("FS"), FS);
    ini.WriteInteger(s, QStringLiteral("FY"), FY);
    ini.WriteInteger(s, QStringLiteral("A"), A);
    ini.WriteInteger(s, QStringLiteral("MCount"), static_cast<int>(M.size()));
    for (qsizetype i = 0; i < M.size(); ++i)
        ini.WriteQuoted(s, QStringLiteral("M%1").arg(i), M[i]);
}

// The view was made of the section's type; its picture is the reader's.
void TView::ReadFromIni(TCustomIniFile& ini, const QString& s)
{
    X = ini.ReadInteger(s, QStringLiteral("X"), 0);
    Y = ini.ReadInteger(s, QStringLiteral("Y"), 0);
    H = ini.ReadInteger(s, QStringLiteral("H"), 80);
    W = ini.ReadInteger(s, QStringLiteral("W"), 80);
    SC = ini.ReadBool(s, QStringLiteral("SC"), false);
    FT = ini.ReadInteger(s, QStringLiteral("FT"), 0);
    FW = ini.ReadInteger(s, QStringLiteral("FW"), 1);
    FP = ini.ReadInteger(s, QStringLiteral("FP"), 0);
    FN = ini.ReadQuoted(s, QStringLiteral("FN"), QStringLiteral("Arial")).left(40);
    FS = ini.ReadInteger(s, QStringLiteral("FS"), 10);
    FY = ini.ReadInteger(s, QStringLiteral("FY"), 0);
    A = ini.ReadInteger(s, QStringLiteral("A"), 0);
    // A damaged count cannot ask for more lines than the section holds.
    QStringList keys;
    ini.ReadSection(s, keys);
    int present = 0;
    for (const QString& k : keys) {
        bool ok = false;
        const int n = k.startsWith(QLatin1Char('M'), Qt::CaseInsensitive) ? k.mid(1).toInt(&ok) : -1;
        if (ok && n >= present && n < keys.size())
            present = n + 1;
    }
    const int count = std::clamp(ini.ReadInteger(s, QStringLiteral("MCount"), 0), 0, present);
    M.clear();
    for (int i = 0; i < count; ++i)
        M << ini.ReadQuoted(s, QStringLiteral("M%1").arg(i), QString());
}

// ---------------------------------------------------------------- the document

void TDocument::WriteToIni(TCustomIniFile& ini, const QString& prefix)
{
    if (writingTemplate_) {
        QStringList sections;
        ini.ReadSections(sections);
        for (const QString& s : sections)
            ini.EraseSection(s);
        ini.WriteInteger(QStringLiteral("Report Description File"), QStringLiteral("Version"), SourceVersion);
    }
    const QString common = prefix.isEmpty() ? QStringLiteral("COMMON") : prefix;
    ini.EraseSection(common);
    ini.WriteInteger(common, QStringLiteral("SourceVersion"), SourceVersion);
    ini.WriteInteger(common, QStringLiteral("Category"), Category);
    ini.WriteQuoted(common, QStringLiteral("NameDocument"), nameDocument_);
    ini.WriteInteger(common, QStringLiteral("Version"), Version);
    ini.WriteBool(common, QStringLiteral("DoubleOnSheet"), DoubleOnSheet);
    ini.WriteInteger(common, QStringLiteral("Version"), Version);
    ini.WriteInteger(common, QStringLiteral("MarginLeft"), MarginLeft);
    ini.WriteInteger(common, QStringLiteral("MarginTop"), MarginTop);
    ini.WriteInteger(common, QStringLiteral("MarginRight"), MarginRight);
    ini.WriteInteger(common, QStringLiteral("MarginBottom"), MarginBottom);
    ini.WriteInteger(common, QStringLiteral("P.Count"), PageCount());

    const QString d = Section(prefix, QStringLiteral("Designer"));
    const T_RPDefDesigner& g = Designer;
    ini.WriteInteger(d, QStringLiteral("Left"), g.Left);
    ini.WriteInteger(d, QStringLiteral("Top"), g.Top);
    ini.WriteInteger(d, QStringLiteral("Height"), g.Height);
    ini.WriteInteger(d, QStringLiteral("Width"), g.Width);
    ini.WriteInteger(d, QStringLiteral("WState"), g.WState);
    ini.WriteInteger(d, QStringLiteral("GridSize"), g.GridSize);
    ini.WriteBool(d, QStringLiteral("ShowGrid"), g.ShowGrid);
    ini.WriteBool(d, QStringLiteral("SnapToGrid"), g.SnapToGrid);
    ini.WriteBool(d, QStringLiteral("ShapeInvers"), g.ShapeInvers);
    ini.WriteQuoted(d, QStringLiteral("LabelText"), g.LabelText);
    ini.WriteQuoted(d, QStringLiteral("FontName"), g.FontName);
    ini.WriteInteger(d, QStringLiteral("FontSize"), g.FontSize);
    ini.WriteInteger(d, QStringLiteral("FontStyle"), g.FontStyle);
    ini.WriteInteger(d, QStringLiteral("FrameWidth"), g.FrameWidth);
    ini.WriteInteger(d, QStringLiteral("FrameTyp"), g.FrameTyp);
    ini.WriteBool(d, QStringLiteral("ClearAsWhite"), g.ClearAsWhite);
    ini.WriteBool(d, QStringLiteral("ShowBandName"), g.ShowBandName);
    ini.WriteBool(d, QStringLiteral("BandNameRus"), g.BandNameRus);

    const int keep = active_;
    for (int i = 0; i < PageCount(); ++i) {
        active_ = i;
        const TPage& page = *pages_[i];
        const QString ps = Section(prefix, QStringLiteral("P%1").arg(i));
        ini.EraseSection(ps);
        ini.WriteInteger(ps, QStringLiteral("O"), page.O);
        ini.WriteBool(ps, QStringLiteral("F"), page.F);
        ini.WriteBool(ps, QStringLiteral("P"), page.P);
        ini.WriteInteger(ps, QStringLiteral("V.Count"), page.ViewCount());
        for (int j = 0; j < page.ViewCount(); ++j) {
            const QString vs = Section(prefix, QStringLiteral("P%1V%2").arg(i).arg(j));
            ini.EraseSection(vs);
            page.View(j)->WriteToIni(ini, vs);
        }
    }
    active_ = keep;
}

// Reads into fresh pages and settings; the document takes them only when
// the whole template was read, so a damaged file leaves the old one.
void TDocument::ReadFromIni(TCustomIniFile& ini, const QString& prefix)
{
    const QString common = prefix.isEmpty() ? QStringLiteral("COMMON") : prefix;
    const int sourceVersion = ini.ReadInteger(common, QStringLiteral("SourceVersion"), SourceVersion);
    const int category = ini.ReadInteger(common, QStringLiteral("Category"), Category);
    const QString name = ini.ReadQuoted(common, QStringLiteral("NameDocument"), nameDocument_);
    const int version = ini.ReadInteger(common, QStringLiteral("Version"), Version);
    const bool twice = ini.ReadBool(common, QStringLiteral("DoubleOnSheet"), DoubleOnSheet);
    const int ml = ini.ReadInteger(common, QStringLiteral("MarginLeft"), 0);
    const int mt = ini.ReadInteger(common, QStringLiteral("MarginTop"), 0);
    const int mr = ini.ReadInteger(common, QStringLiteral("MarginRight"), 0);
    const int mb = ini.ReadInteger(common, QStringLiteral("MarginBottom"), 0);
    auto takeCommon = [&] {
        SourceVersion = sourceVersion;
        Category = category;
        nameDocument_ = name;
        Version = version;
        DoubleOnSheet = twice;
        MarginLeft = ml;
        MarginTop = mt;
        MarginRight = mr;
        MarginBottom = mb;
        Unmodified = true;
    };
    if (HeaderOnly) {
        pages_.clear();
        AddPage(0);
        active_ = 0;
        takeCommon();
        return;
    }

    const QString d = Section(prefix, QStringLiteral("Designer"));
    T_RPDefDesigner g = Designer;
    g.Left = ini.ReadInteger(d, QStringLiteral("Left"), g.Left);
    g.Top = ini.ReadInteger(d, QStringLiteral("Top"), g.Top);
    g.Height = ini.ReadInteger(d, QStringLiteral("Height"), g.Height);
    g.Width = ini.ReadInteger(d, QStringLiteral("Width"), g.Width);
    g.WState = ini.ReadInteger(d, QStringLiteral("WState"), g.WState);
    g.GridSize = ini.ReadInteger(d, QStringLiteral("GridSize"), g.GridSize);
    g.ShowGrid = ini.ReadBool(d, QStringLiteral("ShowGrid"), g.ShowGrid);
    g.SnapToGrid = ini.ReadBool(d, QStringLiteral("SnapToGrid"), g.SnapToGrid);
    g.ShapeInvers = ini.ReadBool(d, QStringLiteral("ShapeInvers"), g.ShapeInvers);
    g.LabelText = ini.ReadQuoted(d, QStringLiteral("LabelText"), g.LabelText);
    g.FontName = ini.ReadQuoted(d, QStringLiteral("FontName"), g.FontName);
    g.FontSize = ini.ReadInteger(d, QStringLiteral("FontSize"), g.FontSize);
    g.FontStyle = ini.ReadInteger(d, QStringLiteral("FontStyle"), g.FontStyle);
    g.FrameWidth = ini.ReadInteger(d, QStringLiteral("FrameWidth"), g.FrameWidth);
    g.FrameTyp = ini.ReadInteger(d, QStringLiteral("FrameTyp"), g.FrameTyp);
    g.ClearAsWhite = ini.ReadBool(d, QStringLiteral("ClearAsWhite"), g.ClearAsWhite);
    g.ShowBandName = ini.ReadBool(d, QStringLiteral("ShowBandName"), g.ShowBandName);
    g.BandNameRus = ini.ReadBool(d, QStringLiteral("BandNameRus"), g.BandNameRus);
    const QSize screen = ScreenSize();
    if (g.WState != 2)
        g.WState = 0;
    if (g.GridSize != 4 && g.GridSize != 8)
        g.GridSize = 4;
    if (g.Left < -10 || g.Left > screen.width() - 10)
        g.Left = 10;
    if (g.Top < -10 || g.Top > screen.height() - 30)
        g.Top = 10;
    if (g.Height < 30 || g.Height > screen.height() - 30)
        g.Height = screen.height() - 30;
    if (g.Width < 30 || g.Width > screen.width() - 30)
        g.Width = screen.width() - 30;

    MeasurePrinter();
    std::vector<std::unique_ptr<TPage>> pages;
    QStringList refused;
    ReadPages(ini, prefix, pages, refused);
    takeCommon();
    Designer = g;
    pages_ = std::move(pages);
    if (active_ >= PageCount())
        active_ = 0;
    if (!refused.isEmpty())
        ShowWarning(QStringLiteral("Рисунок вне папки шаблона и папки программы не показан|") + refused.join(u'\n'));
}

void TDocument::ReadPages(
    TCustomIniFile& ini, const QString& prefix, std::vector<std::unique_ptr<TPage>>& pages, QStringList& refused)
{
    const QString file = ini.FileName();
    const QString folder = file.isEmpty() ? QDir::currentPath() : QFileInfo(file).absolutePath();
    const auto damaged = [&](int page, int object, const QString& what) {
        throw EAppException((file.isEmpty() ? kDamagedTemplate : kDamagedTemplate + QLatin1Char(' ') + file)
            + QStringLiteral("|Лист %1, объект %2: %3").arg(page + 1).arg(object + 1).arg(what));
    };
    const QString common = prefix.isEmpty() ? QStringLiteral("COMMON") : prefix;
    // A damaged count cannot ask for more pages than the file holds.
    QStringList sections;
    ini.ReadSections(sections);
    QSet<QString> names;
    for (const QString& s : std::as_const(sections))
        names.insert(s.toCaseFolded());
    int present = 0;
    while (names.contains(Section(prefix, QStringLiteral("P%1").arg(present)).toCaseFolded()))
        ++present;
    const int count = std::max(1, std::min(ini.ReadInteger(common, QStringLiteral("P.Count"), 0), present));
    for (int i = 0; i < count; ++i) {
        const int o = ini.ReadInteger(Section(prefix, QStringLiteral("P%1").arg(i)), QStringLiteral("O"), 0);
        pages.push_back(std::make_unique<TPage>(o == 1 ? 1 : 0, this));
    }
    for (int i = 0; i < count; ++i) {
        TPage& page = *pages[i];
        const QString ps = Section(prefix, QStringLiteral("P%1").arg(i));
        const int views = ini.ReadInteger(ps, QStringLiteral("V.Count"), 0);
        page.F = ini.ReadBool(ps, QStringLiteral("F"), false);
        page.P = ini.ReadBool(ps, QStringLiteral("P"), false);
        const int usable = UsableWidth(page.O);
        const int height = SheetHeight(page.O);
        for (int j = 0; j < views; ++j) {
            const QString vs = Section(prefix, QStringLiteral("P%1V%2").arg(i).arg(j));
            // A file cut short names objects it no longer holds.
            if (ini.ReadString(vs, QStringLiteral("T"), QString()).isEmpty())
                damaged(i, j, QStringLiteral("нет описания объекта"));
            const int type = ini.ReadInteger(vs, QStringLiteral("T"), -1);
            if (!KnownType(type))
                damaged(i, j, QStringLiteral("неизвестный тип объекта"));
            TView* v = page.AddView(std::make_unique<TView>(type, this));
            v->ReadFromIni(ini, vs);
            if (type == vtPicture) {
                bool outside = false;
                const QString path = TemplatePicturePath(v->M.value(0), folder, outside);
                if (outside)
                    refused << QDir::cleanPath(QDir(folder).absoluteFilePath(v->M.value(0)));
                v->Picture = path.isEmpty() ? QImage() : QImage(path);
                if (v->Picture.isNull())
                    v->Picture = RPDefaultProperties().Picture;
            }
            v->W = std::clamp(v->W, -kMaxExtent, kMaxExtent);
            v->H = std::clamp(v->H, -kMaxExtent, kMaxExtent);
            // In 64 bits: a file may hold any two ints.
            if (qint64(v->X) + v->W < 8 && v->X < -8)
                v->X = 0;
            if (qint64(v->Y) + v->H < 8 && v->Y < -8)
                v->Y = 0;
            if (v->X > usable)
                v->X = usable - 38;
            if (v->Y > height)
                v->Y = height - 38;
        }
    }
}

void TDocument::SaveToFile(const QString& fileName)
{
    const QString name = DcfFileName(fileName.isEmpty() ? NameSaveFile : fileName);
    TMemIniFile ini(name);
    writingTemplate_ = true;
    try {
        WriteToIni(ini, QString());
    } catch (...) {
        writingTemplate_ = false;
        ini.AutoUpdate = false;
        throw;
    }
    writingTemplate_ = false;
    // Raises when the file cannot be written; the image goes under a
    // temporary name and is renamed over the old file.
    ini.UpdateFile();
    NameSaveFile = name;
}

void TDocument::LoadFromFile(const QString& fileName)
{
    const QString name = DcfFileName(fileName.isEmpty() ? NameSaveFile : fileName);
    TMemIniFile ini(name);
    ini.AutoUpdate = false;
    struct ClearHeaderOnly {
        bool& flag;
        ~ClearHeaderOnly() { flag = false; }
    } clear{HeaderOnly};
    ReadFromIni(ini, QString());
    NameSaveFile = name;
}
