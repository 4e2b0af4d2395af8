#pragma once
// The program's INI files: CP1251 text with CRLF line ends, dates stored as
// YYYYMMDD. Every TMemIniFile on one file shares one in-memory image, so
// that all users see each other's writes at once; the image reloads itself
// when another program changes the file, and reaches the disk only on
// UpdateFile, EndUpdate or destruction, and then only when it was changed.
// GUI thread only.

#include "platform/DateTime.h"

#include <QChar>
#include <QString>
#include <QStringList>
#include <cstdint>

class TCustomIniFile {
public:
    explicit TCustomIniFile(const QString& fileName);
    virtual ~TCustomIniFile();
    TCustomIniFile(const TCustomIniFile&) = delete;
    TCustomIniFile& operator=(const TCustomIniFile&) = delete;

    // The absolute file name.
    const QString& FileName() const { return fileName_; }

    virtual QString ReadString(const QString& section, const QString& ident, const QString& def) = 0;
    virtual void WriteString(const QString& section, const QString& ident, const QString& value) = 0;
    // Writes the image to the file (when it holds unsaved changes). Raises
    // EFCreateError (EDiskFull on a full disk) when the file cannot be written.
    virtual void UpdateFile() = 0;

    // Decimal or "0x"/"0X" hexadecimal (no other mark: "$10" gives def), in
    // quotes or not; anything else gives def.
    virtual int ReadInteger(const QString& section, const QString& ident, int def);
    virtual void WriteInteger(const QString& section, const QString& ident, int value);
    // "0"/"1"; any non-zero integer reads as true.
    virtual bool ReadBool(const QString& section, const QString& ident, bool def);
    virtual void WriteBool(const QString& section, const QString& ident, bool value);
    // YYYYMMDD.
    virtual TDateTime ReadDate(const QString& section, const QString& ident, TDateTime def);
    // YYYYMMDD, a blank, then the long time; a date without its time gives def.
    virtual TDateTime ReadDateTime(const QString& section, const QString& ident, TDateTime def);
    // Written with ","; read with "," or ".".
    virtual double ReadFloat(const QString& section, const QString& ident, double def);
    virtual TDateTime ReadTime(const QString& section, const QString& ident, TDateTime def);
    virtual void WriteDate(const QString& section, const QString& ident, TDateTime value);
    virtual void WriteDateTime(const QString& section, const QString& ident, TDateTime value);
    virtual void WriteFloat(const QString& section, const QString& ident, double value);
    virtual void WriteTime(const QString& section, const QString& ident, TDateTime value);

    // The names of the section's keys.
    virtual void ReadSection(const QString& section, QStringList& strings) = 0;
    virtual void ReadSections(QStringList& strings) = 0;
    // The section's lines "name=value".
    virtual void ReadSectionValues(const QString& section, QStringList& strings) = 0;
    virtual void EraseSection(const QString& section) = 0;
    virtual void DeleteKey(const QString& section, const QString& ident) = 0;

    // EndUpdate writes the file when the last open update ends.
    virtual void BeginUpdate();
    virtual void EndUpdate();

    // The stored text without its quote characters (only when it differs
    // from def); WriteQuoted puts them around the value.
    QString ReadQuoted(const QString& section, const QString& ident, const QString& def);
    void WriteQuoted(const QString& section, const QString& ident, const QString& value);
    // UpdateFile unless an update is open.
    void UpdateFileIfIdle();
    int UpdateCount() const { return updateCount_; }

    QChar QuoteBegin = QLatin1Char('"');
    QChar QuoteEnd = QLatin1Char('"');
    // Reads look for outside changes; destruction writes the image.
    bool AutoUpdate = true;

protected:
    QString fileName_;
    int updateCount_ = 0;
};

class TMemIniContainer;

class TMemIniFile : public TCustomIniFile {
public:
    // A missing file reads as an empty image; an unreadable one raises
    // EFOpenError. An empty name gives an image that lives in memory only.
    explicit TMemIniFile(const QString& fileName);
    // Writes a changed image when AutoUpdate is on; a failure is reported
    // through the message service, never thrown.
    ~TMemIniFile() override;

    QString ReadString(const QString& section, const QString& ident, const QString& def) override;
    void WriteString(const QString& section, const QString& ident, const QString& value) override;
    void WriteInteger(const QString& section, const QString& ident, int value) override;
    void UpdateFile() override;
    void ReadSection(const QString& section, QStringList& strings) override;
    void ReadSections(QStringList& strings) override;
    void ReadSectionValues(const QString& section, QStringList& strings) override;
    void EraseSection(const QString& section) override;
    void DeleteKey(const QString& section, const QString& ident) override;

    // The image holds writes that are not in the file yet.
    bool Modified() const;
    // The file could not be read as text (UTF-16, binary): the image is
    // empty and the next write replaces the file, keeping a ".bak" first.
    bool NotText() const;
    // Makes that ".bak" now (once, silently) and answers its name.
    QString KeepNotTextCopy();
    // Looks at the file now (reads look at most every 100 ms) and takes in
    // another program's change; unsaved writes are put back over it.
    void Reread();

private:
    // Index of the section (first of that name, case ignored), -1 when absent.
    int FindSection(const QString& section);
    // The value holds no line break.
    void WriteText(const QString& section, const QString& ident, QStringView value);

    TMemIniContainer* container_;
    // The last section found: valid only while the image's generation is
    // the one it was found in (a reload or an erase by any user bumps it).
    QString cachedName_;
    int cachedIndex_ = -1;
    uint64_t cachedGeneration_ = 0;
};

class TIniFile : public TMemIniFile {
public:
    using TMemIniFile::TMemIniFile;
};
