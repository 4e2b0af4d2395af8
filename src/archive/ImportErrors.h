#pragma once
// The numbered error lists of the import, "ImportEr.000" onwards in one
// folder, CP1251 with CRLF like the program's other text files. A list is
// driven by text commands as well as by its methods; a file holds at most
// 10000 lines besides its footer and the next number begins.

#include <QString>
#include <QStringList>

class TImportErrorList {
public:
    static QString NewCommand() { return QStringLiteral(".~cnNewErrList~."); }
    static QString SaveCommand() { return QStringLiteral(".~cnSaveErrList~."); }
    static QString FreeCommand() { return QStringLiteral(".~cnFreeErrList~."); }
    static constexpr int kMaxLines = 10001;

    void SetFolder(const QString& folder) { folder_ = folder; }
    QString FileName(int number) const;

    // A command, or an error line (a list is started when none is).
    void Add(const QString& text);
    // Deletes every "ImportEr.*" of the folder and starts at number 0.
    void New();
    // Writes the current file with the continuation footer.
    void Save();
    // Writes the last file with the "Конец" footer and ends the list. A
    // list that ended on a file boundary writes an empty last file, so
    // the previous footer never points at nothing.
    void Free();
    // Error lines added since New.
    int ErrorCount() const { return errorCount_; }

private:
    void Header();
    void Write(const QString& footer);

    QString folder_;
    QStringList lines_;
    int number_ = 0;
    int errorCount_ = 0;
    bool started_ = false;
    bool continued_ = false;
};
