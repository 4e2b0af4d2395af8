#pragma once
// The real program on a temporary program folder that holds the shipped
// templates: a first start, with inLoop run in its main loop before the
// main window is closed as the clerk closes it.

#include "app/program/QorProgram.h"
#include "data/ui/FormRegistry.h"
#include "data/ui/Program.h"
#include "foundation/Progress.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QMainWindow>
#include <QTimer>

#include <functional>

class ShippedProgramTest : public ::testing::Test {
protected:
    void SetUp() override { InstallShippedTemplates(QStringLiteral(QOR_SHIPPED_TXT), folder_); }
    void TearDown() override { SetProgramStepHook({}); }

    void FirstStart(std::function<void()> inLoop)
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning)
            .Details(QStringLiteral("Создаем алиас \"Qor\"\r\n") + folder_.Path() + QStringLiteral("DB/"));
        msgs.Expect(MsgKind::Warning).Details(QStringLiteral("Сегодня :    01.01.2025"));
        SetProgramStepHook([inLoop](const QString& step) {
            if (step == QLatin1String("MainLoop"))
                QTimer::singleShot(0, [inLoop] {
                    inLoop();
                    if (QMainWindow* main = MainForm())
                        main->close();
                });
        });
        ASSERT_EQ(QorMain(), 0);
    }

    ScopedFakeClock clock_{45658.5}; // 01.01.2025, noon
    TSilentProgress progress_;
    ScopedProgress progressScope_{&progress_};
    ScopedProgramFolder folder_;
};
