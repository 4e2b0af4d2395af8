#pragma once
// The File menu's "Принтер": the system's print dialog, whose printer the
// documents then print on.

void ShowPrinterSetup();
