#pragma once
// A temporary program folder with a fresh data base made by the program's
// own start-up code: the alias, the data base set-up with its lock, the
// settings, the 29 tables and the data module. Tests of the domain classes
// start from it:
//
//   DataFolderFixture fx;                       // program folder, fixed clock
//   fx.OpenDataBase();                          // tables made, DM() created
//   AppendNumberedRecord(DM()->SP, {"NAIM"}, {Variant("Цех")});
//
// The alias is written beforehand, so opening shows no message. The first
// data base of a test program is made by the start-up code; later fixtures
// begin with a copy of its files (the same result, made much faster).
// Everything is undone in reverse when the fixture ends; the files go with
// the folder.

#include "platform/DateTime.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QString>

class DataFolderFixture {
public:
    // The clock stands at noon of this day.
    static TDateTime DefaultToday();

    explicit DataFolderFixture(TDateTime today = DefaultToday());
    ~DataFolderFixture();
    DataFolderFixture(const DataFolderFixture&) = delete;
    DataFolderFixture& operator=(const DataFolderFixture&) = delete;

    // As start-up does it: the alias, the data base set-up (first shared
    // lock), the settings read, OpenDataBase, then the data module unless
    // not wanted. The domain lists' hooks only when asked (AppContextTest):
    // tests of the data module itself run it without them.
    void OpenDataBase(bool withDataModule = true, bool withLists = false);
    // Only the set-up and the settings, for tests that go on by hand (the
    // alias as the program INI has it: missing on a new program folder).
    void StartUp();
    // As shutdown does it, without saving: the data module and the set-up
    // go, the files stay. OpenDataBase may follow (a second start).
    void CloseDataBase();
    bool IsOpen() const { return open_; }

    QString ProgramPath() const { return program_.Path(); }
    // The data folder, with a trailing "/".
    QString DataPath() const { return program_.Path() + QStringLiteral("DB/"); }
    FakeClock& Clock() { return clock_.clock; }

private:
    ScopedFakeClock clock_;
    ScopedProgramFolder program_;
    bool open_ = false;
    bool withLists_ = false;
};

// A test of the domain lists: the application context made and the data
// base opened with its data module; both undone in reverse at the end.
class AppContextTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    DataFolderFixture fx;
};
