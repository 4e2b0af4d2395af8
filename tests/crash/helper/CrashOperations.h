#pragma once
// The write operations the crash harness kills: one entry each. An entry
// prepares its fixture (SetUp, run once and never killed, on a data base
// opened by the start-up code) and performs the one write under test (Run).
// A new operation is one more entry in CrashOperations().

#include <QList>
#include <QString>

struct CrashOperation {
    const char* name;
    // Run is the start-up's opening of the data base itself (creation,
    // rebuild): the helper starts up to just before OpenDataBase and Run
    // calls it. Otherwise Run starts on a fully opened data base.
    bool opensDataBase = false;
    void (*setUp)() = nullptr;
    void (*run)() = nullptr;
};

const QList<CrashOperation>& CrashOperations();
// Not one write but two, each in its own transaction: the harness's own
// test, which must see the state between them.
const CrashOperation& CrashSelfCheckOperation();
// nullptr when there is none of that name.
const CrashOperation* FindCrashOperation(const QString& name);
