#pragma once
// A list of file and folder names read from the disk.

#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <functional>

class T_yqFileList : public QStringList {
public:
    // Called for every entry found; clearing Accept leaves the entry out.
    using TAcceptEvent = std::function<void(const QString& Dir, const QFileInfo& Entry, bool& Accept)>;

    // Names found are added with their name part in upper case. The folder
    // part stays as given, so that the names still lead to the files.
    bool UpperCase = false;
    TAcceptEvent OnAccept;

    // Reads the folder Path. With WithDirs the list is cleared first and
    // gets the subfolders (each ending in "/"), then, with WithFiles, the
    // files matching Mask (letter case ignored, hidden files included). With
    // files only, the names are appended to the list's content. Sorted sorts
    // the folders and the files each by themselves, or, with files only, the
    // whole list. Answers the number of names added.
    int ReadDir(const QString& Path, const QString& Mask, bool Sorted, bool WithDirs, bool WithFiles);
    int ReadFiles(const QString& Path, const QString& Mask);
    int ReadFilesSorted(const QString& Path, const QString& Mask);

    // Deletes the files that the selected entries name and drops the entries
    // whose deletion succeeded, walking from the last to the first. An empty
    // Mask selects every entry; a Mask without a folder is matched against
    // the entries' file names, one with a folder against the whole entries.
    // True when every deletion succeeded.
    bool DeleteFiles(const QString& Mask);
    bool DeleteAllFiles();

    // A name with a folder is looked up as the exact text; a bare name is
    // compared with each entry's file name, letter case ignored. -1 if none.
    int IndexOfFile(const QString& Name) const;

    // Sorts by text, letter case ignored.
    void SortNames();
};
