// The printer set-up keeps the chosen printer for the documents' prints
// and keeps the old choice when cancelled.

#include "reports/ui/PrinterSetup.h"
#include "reports/PrintBackend.h"
#include "support/ModalScript.h"

#include <gtest/gtest.h>

#include <QPrintDialog>
#include <QPrinter>

TEST(PrinterSetupTest, AcceptKeepsTheDialogsPrinterCancelKeepsTheOldChoice)
{
    struct Case {
        bool accept;
    };
    for (const Case c : {Case{false}, Case{true}}) {
        ChosenPrinterName() = QStringLiteral("Old printer");
        QString shown = QStringLiteral("-");
        ModalScript modal;
        modal.Next<QPrintDialog>([&](QPrintDialog& d) {
            d.printer()->setPrinterName(QString());
            shown = d.printer()->printerName();
            c.accept ? d.accept() : d.reject();
        });
        ShowPrinterSetup();
        EXPECT_EQ(ChosenPrinterName(), c.accept ? shown : QStringLiteral("Old printer")) << c.accept;
    }
    ChosenPrinterName().clear();
}
