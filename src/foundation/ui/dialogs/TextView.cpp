#include "foundation/ui/dialogs/TextView.h"
#include "foundation/ui/base/FormFuncs.h"
#include "platform/Codec.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {
const QString kDesignCaption = QStringLiteral("Просмотр");
const QString kDesignHeader = QStringLiteral("Список сообщений");
TFormView* g_view = nullptr;

QStringList SplitLines(const QString& text)
{
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
} // namespace

TFormView::TFormView(QWidget* parent) : TForm(parent, QStringLiteral("FormView"))
{
    setWindowTitle(kDesignCaption);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    pnMsg = new QLabel(kDesignHeader, this);
    pnMsg->setObjectName(QStringLiteral("pnMsg"));
    pnMsg->setWordWrap(true);
    pnMsg->setMargin(6);
    QFont headerFont = pnMsg->font();
    headerFont.setBold(true);
    pnMsg->setFont(headerFont);
    layout->addWidget(pnMsg);
    Memo = new QPlainTextEdit(this);
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setReadOnly(true);
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(Memo, 1);
    resize(600, 400);
}

void TFormView::ShowView(const QString& caption, const QString& header, const QStringList& lines, bool modal)
{
    if (isVisible())
        done(mrCancel);
    setWindowTitle(caption);
    SetHeader(header);
    Memo->setPlainText(lines.join(QLatin1Char('\n')));
    if (modal)
        ShowModal();
    else
        ShowFormModeless(this);
}

void TFormView::SetHeader(const QString& text) { pnMsg->setText(text.isEmpty() ? kDesignHeader : text); }

QStringList TFormView::Lines() const { return SplitLines(Memo->toPlainText()); }

void TFormView::showEvent(QShowEvent* event)
{
    if (windowTitle().isEmpty())
        setWindowTitle(kDesignCaption);
    if (!FileName.isEmpty()) {
        QFile file(FileName);
        if (!file.exists() || !file.open(QIODevice::ReadOnly)) {
            Memo->setPlainText(QStringLiteral("Файл не найден\n\"%1\"").arg(FileName));
        } else {
            const QByteArray bytes = file.readAll();
            Memo->setPlainText(SplitLines(OemText ? FromCp866(bytes) : FromCp1251(bytes)).join(QLatin1Char('\n')));
        }
    }
    TForm::showEvent(event);
}

void TFormView::hideEvent(QHideEvent* event)
{
    SetHeader(QString());
    FileName.clear();
    OemText = false;
    TForm::hideEvent(event);
}

TFormView& FormView() { return MakeOnFirstUse(g_view, FreeFormView); }

void FreeFormView()
{
    delete g_view;
    g_view = nullptr;
}

void ShowView(const QString& caption, const QString& header, const QStringList& lines, bool modal)
{
    FormView().ShowView(caption, header, lines, modal);
}

void ShowViewFile(const QString& caption, const QString& header, const QString& fileName, bool oemText, bool modal)
{
    TFormView& view = FormView();
    if (view.isVisible())
        view.done(mrCancel);
    view.FileName = fileName;
    view.OemText = oemText;
    view.ShowView(caption, header, {}, modal);
}
