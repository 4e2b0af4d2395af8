#include "foundation/IniFiles.h"
#include "foundation/DateFuncs.h"
#include "foundation/FileFuncs.h"
#include "foundation/Messages.h"
#include "platform/Clock.h"
#include "platform/Codec.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <charconv>

#include <memory>
#include <vector>

#include <sys/stat.h>

namespace {

// What tells an outside change: modification time in nanoseconds, size
// and inode (a save by rename gives a new inode even within one tick).
struct FileStamp {
    bool exists = false;
    int64_t sec = 0;
    int64_t nsec = 0;
    int64_t size = 0;
    uint64_t inode = 0;
    uint64_t device = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp StampOf(const QString& path)
{
    FileStamp s;
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.sec = st.st_mtim.tv_sec;
    s.nsec = st.st_mtim.tv_nsec;
    s.size = st.st_size;
    s.inode = st.st_ino;
    s.device = st.st_dev;
    return s;
}

// How the bytes of a file are read as text.
// FalseMark: a UTF-8 mark before CP1251 text (an editor added the mark
// without converting); read as CP1251 and written back without the mark.
enum class IniEncoding { Cp1251, Utf8, Utf8Bom, FalseMark, NotText };

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

bool ValidUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(bytes);
    return !utf8.hasError();
}

// UTF-8 when the file says so by its mark and the text after it is UTF-8,
// or when it has non-ASCII bytes and all of them form valid UTF-8 (Linux
// editors save so; Cyrillic CP1251 text almost never passes); a UTF-16 mark
// or a NUL byte is no text at all.
IniEncoding EncodingOf(const QByteArray& bytes)
{
    // A NUL is no text whatever mark stands before it: written back, the
    // file would be no text any more.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.contains('\0'))
        return IniEncoding::NotText;
    if (bytes.startsWith(kUtf8Mark))
        return ValidUtf8(QByteArrayView(bytes).sliced(3)) ? IniEncoding::Utf8Bom : IniEncoding::FalseMark;
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii)
        return IniEncoding::Cp1251;
    return ValidUtf8(bytes) ? IniEncoding::Utf8 : IniEncoding::Cp1251;
}

QString Decode(const QByteArray& bytes, IniEncoding encoding)
{
    switch (encoding) {
    case IniEncoding::Utf8: return QString::fromUtf8(bytes);
    case IniEncoding::Utf8Bom: return QString::fromUtf8(bytes.mid(3));
    case IniEncoding::FalseMark: return FromCp1251(bytes.mid(3));
    case IniEncoding::NotText: return QString();
    case IniEncoding::Cp1251: break;
    }
    return FromCp1251(bytes);
}

// How often a read may look at the file for outside changes.
constexpr uint32_t kCheckIntervalMs = 100;

QString OneLine(QString s)
{
    if (!s.contains(QLatin1Char('\r')) && !s.contains(QLatin1Char('\n')))
        return s;
    s.replace(QLatin1String("\r\n"), QLatin1String(" "));
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

// The key of a line "name=value", without copying it; false for a line
// without "=".
bool LineName(const QString& line, QStringView& name)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    name = QStringView(line).left(eq);
    return true;
}

// A name as the index keeps it: folded by code point, the way a comparison
// that ignores letter case folds it, so equal keys are equal names.
QString Folded(QStringView s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            const char32_t f = QChar::toCaseFolded(QChar::surrogateToUcs4(c, s[++i]));
            if (QChar::requiresSurrogates(f)) {
                out += QChar(QChar::highSurrogate(f));
                out += QChar(QChar::lowSurrogate(f));
            } else {
                out += QChar(char16_t(f));
            }
        } else {
            out += c.toCaseFolded();
        }
    }
    return out;
}

// The first place of a name stays: look-ups find the first.
void KeepFirst(QHash<QString, int>& index, const QString& key, int place)
{
    if (!index.contains(key))
        index.insert(key, place);
}

// A section shorter than this is searched line by line; a longer one
// keeps an index of its keys.
constexpr qsizetype kIndexedLines = 64;

struct IniSection {
    QString name;
    QStringList lines;
    // The first line of each key (folded name), built when first needed
    // and dropped when a line is removed.
    mutable QHash<QString, int> keys;
    mutable bool keysValid = false;
    // The lines written since the last load or save (shorter than lines
    // when the last ones are not).
    std::vector<bool> changed;

    bool Changed(qsizetype i) const { return size_t(i) < changed.size() && changed[size_t(i)]; }
    void MarkChanged(qsizetype i)
    {
        if (changed.size() <= size_t(i))
            changed.resize(size_t(i) + 1);
        changed[size_t(i)] = true;
    }

    int FindLine(const QString& ident) const
    {
        if (lines.size() < kIndexedLines) {
            QStringView name;
            for (qsizetype i = 0; i < lines.size(); ++i)
                if (LineName(lines[i], name) && name.compare(ident, Qt::CaseInsensitive) == 0)
                    return static_cast<int>(i);
            return -1;
        }
        QStringView name;
        if (!keysValid) {
            keys.clear();
            keys.reserve(lines.size());
            for (qsizetype i = 0; i < lines.size(); ++i)
                if (LineName(lines[i], name))
                    KeepFirst(keys, Folded(name), static_cast<int>(i));
            keysValid = true;
        }
        return keys.value(Folded(ident), -1);
    }

    void Append(const QString& line)
    {
        AddLine(line);
        QStringView name;
        if (keysValid && LineName(line, name))
            KeepFirst(keys, Folded(name), static_cast<int>(lines.size() - 1));
    }

    // Room for a template object's keys at once: a list that grows line by
    // line reallocates several times per section.
    void AddLine(const QString& line)
    {
        if (lines.isEmpty())
            lines.reserve(16);
        lines.append(line);
    }

    void RemoveLine(int i)
    {
        lines.removeAt(i);
        if (size_t(i) < changed.size())
            changed.erase(changed.begin() + i);
        keysValid = false;
        keys.clear();
    }
};

// The sections in their order with an index of their names, so that a
// look-up does not walk the image. An erased section leaves a hole (the
// places of the others stay); the holes are squeezed out once they
// outnumber the sections, which moves the places.
class IniSections {
public:
    int Find(const QString& name) const
    {
        const auto it = byName_.constFind(Folded(name));
        return it == byName_.cend() ? -1 : it->first;
    }

    int Append(const QString& name)
    {
        const int slot = static_cast<int>(all_.size());
        all_.emplace_back().name = name;
        erased_.push_back(false);
        Entry& e = byName_[Folded(name)];
        if (e.count++ == 0)
            e.first = slot;
        return slot;
    }

    // May move the places of the other sections.
    void Erase(int slot)
    {
        const QString key = Folded(all_[size_t(slot)].name);
        all_[size_t(slot)] = IniSection();
        erased_[size_t(slot)] = true;
        ++holes_;
        auto it = byName_.find(key);
        if (--it->count == 0) {
            byName_.erase(it);
        } else if (it->first == slot) {
            // A second section of that name: the next one becomes the first.
            int next = slot + 1;
            while (erased_[size_t(next)] || Folded(all_[size_t(next)].name) != key)
                ++next;
            it->first = next;
        }
        if (holes_ >= 64 && holes_ * 2 >= qsizetype(all_.size()))
            Squeeze();
    }

    IniSection& operator[](int slot) { return all_[size_t(slot)]; }
    const IniSection& operator[](int slot) const { return all_[size_t(slot)]; }
    template <typename F> void ForEach(F f) const
    {
        for (size_t i = 0; i < all_.size(); ++i)
            if (!erased_[i])
                f(all_[i]);
    }
    template <typename F> void ForEach(F f)
    {
        for (size_t i = 0; i < all_.size(); ++i)
            if (!erased_[i])
                f(all_[i]);
    }

private:
    void Squeeze()
    {
        std::vector<IniSection> live;
        live.reserve(all_.size() - size_t(holes_));
        for (size_t i = 0; i < all_.size(); ++i)
            if (!erased_[i])
                live.push_back(std::move(all_[i]));
        all_.clear();
        erased_.clear();
        byName_.clear();
        holes_ = 0;
        for (IniSection& s : live) {
            const int slot = Append(s.name);
            all_[size_t(slot)] = std::move(s);
        }
    }

    struct Entry {
        int first = -1;
        int count = 0;
    };
    std::vector<IniSection> all_;
    std::vector<bool> erased_;
    QHash<QString, Entry> byName_;
    qsizetype holes_ = 0;
};

// YYYYMMDD; anything else fails.
bool IniTextToDate(const QString& s, TDateTime& out)
{
    try {
        out = StoD(s);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

// "0x"/"0X" and up to eight hex digits, taken as 32 bits like the old runtime.
bool HexToInt(const QString& digits, int& out)
{
    if (digits.isEmpty() || digits.size() > 8)
        return false;
    uint32_t v = 0;
    for (const QChar c : digits) {
        const char16_t u = c.unicode();
        uint32_t d;
        if (u >= '0' && u <= '9')
            d = u - '0';
        else if (u >= 'a' && u <= 'f')
            d = u - 'a' + 10;
        else if (u >= 'A' && u <= 'F')
            d = u - 'A' + 10;
        else
            return false;
        v = v * 16 + d;
    }
    out = static_cast<int>(v);
    return true;
}

// A sign and decimal digits; the general conversion would take "$" and
// "-0x" hexadecimal too.
bool DecToInt(const QString& s, int& out)
{
    const QString t = s.trimmed();
    const qsizetype start = t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (start >= t.size())
        return false;
    for (qsizetype i = start; i < t.size(); ++i)
        if (t[i] < QLatin1Char('0') || t[i] > QLatin1Char('9'))
            return false;
    return TryStrToInt(t, out);
}

} // namespace

// ---------------------------------------------------------------- the shared image

class TMemIniContainer {
public:
    explicit TMemIniContainer(const QString& name) : fileName(name) {}

    // Throttled: looks at the file at most every 100 ms.
    bool ChangedOutsideThrottled()
    {
        const uint32_t now = GetTickCount();
        const uint32_t elapsed = now - lastCheck_;
        lastCheck_ = now;
        if (elapsed < kCheckIntervalMs)
            return false;
        return ChangedOutside();
    }

    // A file that vanished is no change: the image is kept.
    bool ChangedOutside() const
    {
        if (fileName.isEmpty())
            return false;
        const FileStamp now = StampOf(fileName);
        return now.exists && now != stamp_;
    }

    // Reads the file into the image; a missing file gives an empty image.
    void Load()
    {
        lastCheck_ = GetTickCount();
        if (fileName.isEmpty())
            return;
        const FileStamp before = StampOf(fileName);
        IniSections parsed;
        IniEncoding encoding = IniEncoding::Cp1251;
        if (before.exists) {
            QFile f(fileName);
            if (!f.open(QIODevice::ReadOnly))
                throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, f.errorString()));
            const QByteArray bytes = f.readAll();
            encoding = EncodingOf(bytes);
            parsed = Parse(Decode(bytes, encoding));
        }
        sections = std::move(parsed);
        encoding_ = encoding;
        stamp_ = before;
        ++generation;
    }

    // Reads an outside change and puts the unsaved changes back over it:
    // the erased sections and deleted keys go again, then every written
    // line is written again, in the image's order.
    void Reload()
    {
        const IniSections mine = sections;
        Load();
        for (const QString& section : std::as_const(erased_))
            if (const int index = Find(section); index >= 0) {
                sections.Erase(index);
                ++generation;
            }
        for (const auto& [section, ident] : deleted_)
            if (const int index = Find(section); index >= 0)
                if (const int line = sections[index].FindLine(ident); line >= 0)
                    sections[index].RemoveLine(line);
        mine.ForEach([this](const IniSection& s) {
            int index = -1;
            QStringView name;
            for (qsizetype i = 0; i < s.lines.size(); ++i) {
                if (!s.Changed(i) || !LineName(s.lines[i], name))
                    continue;
                if (index < 0 && (index = Find(s.name)) < 0)
                    index = Append(s.name);
                // Marked also when the other copy wrote the same: it stays ours.
                sections[index].MarkChanged(
                    SetLine(index, name.toString(), QStringView(s.lines[i]).mid(name.size() + 1)));
            }
        });
    }

    void Save()
    {
        if (encoding_ == IniEncoding::NotText)
            KeepUnreadableFile();
        // Written back in the encoding it was read in.
        const bool utf8 = encoding_ == IniEncoding::Utf8 || encoding_ == IniEncoding::Utf8Bom;
        QString text;
        qsizetype size = 0;
        sections.ForEach([&](const IniSection& s) {
            size += s.name.size() + 6;
            for (const QString& line : s.lines)
                size += line.size() + 2;
        });
        text.reserve(size);
        sections.ForEach([&](const IniSection& s) {
            text.append(QLatin1Char('[')).append(s.name).append(QLatin1String("]\r\n"));
            for (const QString& line : s.lines) {
                text += line;
                text += QLatin1String("\r\n");
            }
            text += QLatin1String("\r\n");
        });
        QByteArray out = encoding_ == IniEncoding::Utf8Bom ? kUtf8Mark : QByteArray();
        out += utf8 ? text.toUtf8() : ToCp1251(text);
        try {
            WriteFileAtomic(fileName, out);
        } catch (const EDiskFull& e) {
            diskFull = e.Message();
            throw;
        }
        diskFull.clear();
        if (encoding_ == IniEncoding::NotText || encoding_ == IniEncoding::FalseMark)
            encoding_ = IniEncoding::Cp1251;
        stamp_ = StampOf(fileName);
        modified = false;
        ForgetChanges();
    }

    int Find(const QString& section) const { return sections.Find(section); }

    // The edits, each remembered for a later merge with an outside change.
    void Write(int index, const QString& ident, QStringView value) { SetLine(index, ident, value); }
    void Delete(int index, const QString& section, const QString& ident)
    {
        const int line = sections[index].FindLine(ident);
        if (line < 0)
            return;
        sections[index].RemoveLine(line);
        deleted_.emplace_back(section, ident);
        modified = true;
    }
    void Erase(int index, const QString& section)
    {
        sections.Erase(index);
        ++generation;
        erased_.append(section);
        modified = true;
    }
    int Append(const QString& section) { return sections.Append(section); }

    QString fileName;
    int users = 0;
    IniSections sections;
    // Bumped whenever a section's place may have changed or gone (load, erase).
    uint64_t generation = 1;
    bool modified = false;
    // The text of the last save's full disk, already told to its caller.
    QString diskFull;

    bool NotText() const { return encoding_ == IniEncoding::NotText; }

    // Copies the file to "<name>.bak" once; answers the copy's name, empty
    // when there was nothing to copy.
    QString KeepCopy()
    {
        const QString bak = fileName + QStringLiteral(".bak");
        if (keptAside_)
            return bak;
        QFile f(fileName);
        if (!f.open(QIODevice::ReadOnly))
            return QString(); // gone meanwhile: nothing to keep
        WriteFileAtomic(bak, f.readAll());
        keptAside_ = true;
        return bak;
    }

private:
    // A file that could not be read as text is copied to "<name>.bak"
    // before it is written over, and that is said once.
    void KeepUnreadableFile()
    {
        if (keptAside_)
            return;
        const QString bak = KeepCopy();
        if (bak.isEmpty())
            return;
        ShowWarning(QStringLiteral("Файл настроек не читается как текст|") + EscapeBars(fileName)
            + QStringLiteral("\r\nЕго прежнее содержимое сохранено в файле ") + EscapeBars(bak)
            + QStringLiteral(", файл будет записан заново"));
    }

    static IniSections Parse(const QString& text)
    {
        IniSections out;
        int current = -1;
        qsizetype start = 0;
        const qsizetype n = text.size();
        while (start <= n) {
            qsizetype end = start;
            while (end < n && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
                ++end;
            const QString line = text.mid(start, end - start);
            if (end < n && text[end] == QLatin1Char('\r') && end + 1 < n && text[end + 1] == QLatin1Char('\n'))
                ++end;
            start = end + 1;
            if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
                continue;
            if (line.size() >= 2 && line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
                current = out.Append(line.mid(1, line.size() - 2));
            else if (current >= 0)
                out[current].AddLine(line);
        }
        return out;
    }

    // Answers the line's place.
    int SetLine(int index, const QString& ident, QStringView value)
    {
        IniSection& s = sections[index];
        QString text;
        text.reserve(ident.size() + 1 + value.size());
        text.append(ident).append(QLatin1Char('=')).append(value);
        int line = s.FindLine(ident);
        if (line < 0) {
            s.Append(text);
            line = static_cast<int>(s.lines.size() - 1);
        } else if (s.lines[line] != text) {
            s.lines[line] = std::move(text);
        } else {
            return line;
        }
        s.MarkChanged(line);
        modified = true;
        return line;
    }

    void ForgetChanges()
    {
        erased_.clear();
        deleted_.clear();
        sections.ForEach([](IniSection& s) { s.changed.clear(); });
    }

    IniEncoding encoding_ = IniEncoding::Cp1251;
    bool keptAside_ = false;
    FileStamp stamp_; // as seen at the last load or save
    uint32_t lastCheck_ = 0;
    // Since the last load or save: the sections erased (each erase takes
    // the first of its name) and the keys deleted, in their order; the
    // lines written are marked in their sections.
    QStringList erased_;
    std::vector<std::pair<QString, QString>> deleted_;
};

namespace {
QHash<QString, TMemIniContainer*>& Containers()
{
    static QHash<QString, TMemIniContainer*> containers;
    return containers;
}
} // namespace

// ---------------------------------------------------------------- TCustomIniFile

TCustomIniFile::TCustomIniFile(const QString& fileName)
    : fileName_(fileName.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(fileName).absoluteFilePath()))
{
}

TCustomIniFile::~TCustomIniFile() = default;

QString TCustomIniFile::ReadQuoted(const QString& section, const QString& ident, const QString& def)
{
    const QString s = ReadString(section, ident, def);
    if (s != def && s.size() >= 2 && s.front() == QuoteBegin && s.back() == QuoteEnd)
        return s.mid(1, s.size() - 2);
    return s;
}

void TCustomIniFile::WriteQuoted(const QString& section, const QString& ident, const QString& value)
{
    QString quoted;
    quoted.reserve(value.size() + 2);
    WriteString(section, ident, quoted.append(QuoteBegin).append(value).append(QuoteEnd));
}

int TCustomIniFile::ReadInteger(const QString& section, const QString& ident, int def)
{
    const QString s = ReadQuoted(section, ident, QString());
    int v = def;
    if (s.size() > 2 && s[0] == QLatin1Char('0') && (s[1] == QLatin1Char('x') || s[1] == QLatin1Char('X')))
        return HexToInt(s.mid(2), v) ? v : def;
    return DecToInt(s, v) ? v : def;
}

void TCustomIniFile::WriteInteger(const QString& section, const QString& ident, int value)
{
    WriteString(section, ident, IntToStr(value));
}

bool TCustomIniFile::ReadBool(const QString& section, const QString& ident, bool def)
{
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const QString& section, const QString& ident, bool value)
{
    WriteString(section, ident, value ? QStringLiteral("1") : QStringLiteral("0"));
}

TDateTime TCustomIniFile::ReadDate(const QString& section, const QString& ident, TDateTime def)
{
    TDateTime d;
    return IniTextToDate(ReadQuoted(section, ident, QString()), d) ? d : def;
}

TDateTime TCustomIniFile::ReadDateTime(const QString& section, const QString& ident, TDateTime def)
{
    // The date is characters 1-8 and the time from the 10th on; both must read.
    const QString s = ReadQuoted(section, ident, QString());
    TDateTime d, t;
    if (!IniTextToDate(s.left(8), d) || !TryStrToTime(s.mid(9), t))
        return def;
    return d + t;
}

double TCustomIniFile::ReadFloat(const QString& section, const QString& ident, double def)
{
    double v;
    return TryStrToFloat(ReadQuoted(section, ident, QString()), v) ? v : def;
}

TDateTime TCustomIniFile::ReadTime(const QString& section, const QString& ident, TDateTime def)
{
    TDateTime t;
    return TryStrToTime(ReadQuoted(section, ident, QString()), t) ? t : def;
}

void TCustomIniFile::WriteDate(const QString& section, const QString& ident, TDateTime value)
{
    WriteString(section, ident, DtoS(value));
}

void TCustomIniFile::WriteDateTime(const QString& section, const QString& ident, TDateTime value)
{
    WriteString(section, ident, DtoS(value) + QLatin1Char(' ') + TimeToStr(value));
}

void TCustomIniFile::WriteFloat(const QString& section, const QString& ident, double value)
{
    WriteString(section, ident, FloatToStr(value));
}

void TCustomIniFile::WriteTime(const QString& section, const QString& ident, TDateTime value)
{
    WriteString(section, ident, TimeToStr(value));
}

void TCustomIniFile::BeginUpdate() { ++updateCount_; }

void TCustomIniFile::EndUpdate()
{
    if (--updateCount_ < 1)
        updateCount_ = 0;
    UpdateFileIfIdle();
}

void TCustomIniFile::UpdateFileIfIdle()
{
    if (updateCount_ <= 0)
        UpdateFile();
}

// ---------------------------------------------------------------- TMemIniFile

TMemIniFile::TMemIniFile(const QString& fileName) : TCustomIniFile(fileName)
{
    if (fileName_.isEmpty()) {
        container_ = new TMemIniContainer(QString());
        return;
    }
    auto& all = Containers();
    if (TMemIniContainer* shared = all.value(fileName_)) {
        container_ = shared;
        ++shared->users;
        return;
    }
    auto fresh = std::make_unique<TMemIniContainer>(fileName_);
    fresh->Load();
    container_ = fresh.release();
    all.insert(fileName_, container_);
}

TMemIniFile::~TMemIniFile()
{
    if (AutoUpdate) {
        const QString told = container_->diskFull;
        try {
            UpdateFile();
        } catch (const EDiskFull& e) {
            // The same full disk the last save's caller was told of is not said again.
            try {
                if (e.Message() != told)
                    ShowError(EscapeBars(e.Message()));
            } catch (...) {
            }
        } catch (const Exception& e) {
            try {
                ShowError(EscapeBars(e.Message()));
            } catch (...) {
            }
        } catch (...) {
        }
    }
    if (container_->users > 0) {
        --container_->users;
        return;
    }
    if (!fileName_.isEmpty())
        Containers().remove(fileName_);
    delete container_;
}

bool TMemIniFile::Modified() const { return container_->modified; }

bool TMemIniFile::NotText() const { return container_->NotText(); }

QString TMemIniFile::KeepNotTextCopy() { return container_->KeepCopy(); }

void TMemIniFile::Reread()
{
    if (container_->ChangedOutside())
        container_->Reload();
}

int TMemIniFile::FindSection(const QString& section)
{
    if (cachedIndex_ >= 0 && cachedGeneration_ == container_->generation && cachedName_ == section)
        return cachedIndex_;
    cachedIndex_ = container_->Find(section);
    cachedName_ = section;
    cachedGeneration_ = container_->generation;
    return cachedIndex_;
}

QString TMemIniFile::ReadString(const QString& section, const QString& ident, const QString& def)
{
    if (AutoUpdate && container_->ChangedOutsideThrottled()) {
        try {
            container_->Reload();
        } catch (const Exception&) {
            // Unreadable for the moment: keep the image and look again later.
        }
    }
    const int index = FindSection(section);
    if (index < 0)
        return def;
    const IniSection& s = container_->sections[index];
    const int line = s.FindLine(ident);
    if (line < 0)
        return def;
    const QString& text = s.lines[line];
    return text.mid(text.indexOf(QLatin1Char('=')) + 1);
}

void TMemIniFile::WriteString(const QString& section, const QString& ident, const QString& value)
{
    // A line break inside a value would split the line in the file.
    if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')))
        WriteText(section, ident, OneLine(value));
    else
        WriteText(section, ident, value);
}

void TMemIniFile::WriteInteger(const QString& section, const QString& ident, int value)
{
    // The digits go straight into the line, without a text of their own.
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    char16_t text[16];
    std::copy(digits, end, text);
    WriteText(section, ident, QStringView(text, end - digits));
}

void TMemIniFile::WriteText(const QString& section, const QString& ident, QStringView value)
{
    const QString name = OneLine(section);
    int index = FindSection(name);
    if (index < 0) {
        index = container_->Append(name);
        cachedIndex_ = index;
    }
    container_->Write(index, OneLine(ident), value);
}

void TMemIniFile::UpdateFile()
{
    if (fileName_.isEmpty() || !container_->modified)
        return;
    // Another program's save since ours: take it in, then put ours over it.
    if (container_->ChangedOutside())
        container_->Reload();
    container_->Save();
}

void TMemIniFile::ReadSection(const QString& section, QStringList& strings)
{
    strings.clear();
    const int index = container_->Find(section);
    if (index < 0)
        return;
    QStringView name;
    for (const QString& line : container_->sections[index].lines)
        if (LineName(line, name))
            strings.append(name.toString());
}

void TMemIniFile::ReadSections(QStringList& strings)
{
    strings.clear();
    container_->sections.ForEach([&](const IniSection& s) { strings.append(s.name); });
}

void TMemIniFile::ReadSectionValues(const QString& section, QStringList& strings)
{
    strings.clear();
    const int index = container_->Find(section);
    if (index >= 0)
        strings = container_->sections[index].lines;
}

void TMemIniFile::EraseSection(const QString& section)
{
    const int index = container_->Find(section);
    if (index >= 0)
        container_->Erase(index, section);
}

void TMemIniFile::DeleteKey(const QString& section, const QString& ident)
{
    const int index = FindSection(section);
    if (index >= 0)
        container_->Delete(index, section, ident);
}
