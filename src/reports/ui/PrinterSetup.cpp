#include "reports/ui/PrinterSetup.h"

#include "foundation/ui/base/FormBase.h"
#include "reports/PrintBackend.h"

#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>

void ShowPrinterSetup()
{
    QPrinter printer(QPrinter::HighResolution);
    if (!ChosenPrinterName().isEmpty())
        printer.setPrinterName(ChosenPrinterName());
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    dialog.setObjectName(QStringLiteral("PrinterSetup"));
    dialog.setWindowTitle(QStringLiteral("Настройка принтера"));
    // Only the printer is chosen here; pages and copies belong to a print.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (RunModal(dialog) == QDialog::Accepted)
        ChosenPrinterName() = printer.printerName();
}
