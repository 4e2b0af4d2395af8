#pragma once
// Another copy of the program in a second process: the lock helper, which
// holds the data folder lock as it is told.
//
//   OtherCopy other(folder, false);
//   ASSERT_TRUE(other.Started());
//   ASSERT_EQ(other.Ask("shared"), "ok");     // "exclusive", "unlock" likewise

#include <QProcess>
#include <QString>

class OtherCopy {
public:
    // network: the helper sees the folder on a network file system.
    OtherCopy(const QString& folder, bool network);
    ~OtherCopy();
    OtherCopy(const OtherCopy&) = delete;
    OtherCopy& operator=(const OtherCopy&) = delete;

    bool Started() const { return started_; }
    // Sends a command and answers the helper's reply ("ok" or "refused";
    // "no answer" when it gives none).
    QString Ask(const char* command);

private:
    QProcess process_;
    bool started_ = false;
};
