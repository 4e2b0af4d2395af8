#pragma once
// The data folder's lock file "~~Shared.tmp", held with an open-file-
// description lock for as long as the program runs. On a local folder every
// copy holds it exclusively, so a second copy cannot start; on a network
// folder copies share it, and an exclusive request (upgrade, archive
// restore, compression...) fails while another copy holds it. A change of
// mode happens in place: a refused upgrade keeps the shared lock.

#include <QString>

class DataFolderLock {
public:
    enum class Mode { None, Shared, Exclusive };

    explicit DataFolderLock(const QString& folder);
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    static QString FileName() { return QStringLiteral("~~Shared.tmp"); }
    QString FilePath() const;

    // True when the lock is held in that mode now (also when it already was).
    bool Lock(bool exclusive);
    bool LockShared() { return Lock(false); }
    bool LockExclusive() { return Lock(true); }
    void Unlock();

    Mode CurrentMode() const { return mode_; }
    // The system's text of the last refusal or failure.
    QString LastError() const { return lastError_; }

private:
    QString folder_;
    int fd_ = -1;
    Mode mode_ = Mode::None;
    QString lastError_;
};
