#include "reports/ReportBands.h"

#include <algorithm>

const std::array<QString, kBandKinds> BandNamesEng = {QStringLiteral("Report title"), QStringLiteral("Report summary"),
    QStringLiteral("Page header"), QStringLiteral("Page footer"), QStringLiteral("Master header"),
    QStringLiteral("Master data"), QStringLiteral("Master footer"), QStringLiteral("Detail header"),
    QStringLiteral("Detail data"), QStringLiteral("Detail footer"), QStringLiteral("Subdetail header"),
    QStringLiteral("Subdetail data"), QStringLiteral("Subdetail footer"), QStringLiteral("Overlay"), QString()};

const std::array<QString, kBandKinds> BandNamesRus
    = {QStringLiteral("Заголовок отчета"), QStringLiteral("Итог по отчету"), QStringLiteral("Шапка страницы"),
        QStringLiteral("Подвал страницы"), QStringLiteral("Заголовок основных"), QStringLiteral("Основные данные"),
        QStringLiteral("Итог основных"), QStringLiteral("Заголовок детализированых"),
        QStringLiteral("Детализированые данные"), QStringLiteral("Итог детализированых"),
        QStringLiteral("Заголовок подчиненных"), QStringLiteral("Подчиненные данные"),
        QStringLiteral("Итог подчиненных"), QStringLiteral("Фоновый слой"), QString()};

TView* TPage::AddView(std::unique_ptr<TView> view)
{
    views_.push_back(std::move(view));
    return views_.back().get();
}

TView* TPage::InsertView(int i, std::unique_ptr<TView> view)
{
    return views_.insert(views_.begin() + std::clamp<int>(i, 0, ViewCount()), std::move(view))->get();
}

std::unique_ptr<TView> TPage::TakeView(int i)
{
    std::unique_ptr<TView> v = std::move(views_.at(i));
    views_.erase(views_.begin() + i);
    return v;
}

void TPage::DeleteView(int i) { views_.erase(views_.begin() + i); }

void TPage::DeleteAllViews()
{
    while (!views_.empty())
        views_.pop_back();
}

void TPage::CreateBands()
{
    FreeBands();
    for (int k = 0; k < kBandKinds; ++k)
        chains_[k].push_back(std::make_unique<TBand>(k));
    AssignViewsToBands();
}

void TPage::AssignViewsToBands()
{
    for (auto& v : views_)
        if (v->T != vtBand) {
            v->Unassigned = true;
            v->Band = nullptr;
        }
    for (int k = 0; k < btFree; ++k) {
        auto& chain = chains_[k];
        bool first = true;
        for (auto& marker : views_) {
            if (marker->T != vtBand || marker->FT != k)
                continue;
            if (!first)
                chain.push_back(std::make_unique<TBand>(k));
            first = false;
            TBand& band = *chain.back();
            band.Top = marker->Y;
            band.Height = marker->H;
            band.Memo = marker->M;
            for (auto& v : views_) {
                if (!v->Unassigned || v->Y < band.Top || v->Y >= qint64(band.Top) + band.Height - 1)
                    continue;
                v->TemplateY = v->Y;
                v->Y -= band.Top;
                v->Band = &band;
                band.Views.push_back(v.get());
                v->Unassigned = false;
            }
        }
        // Equal tops keep their list order.
        std::stable_sort(chain.begin(), chain.end(), [](const auto& a, const auto& b) { return a->Top < b->Top; });
        for (size_t i = 0; i < chain.size(); ++i)
            chain[i]->Next = i + 1 < chain.size() ? chain[i + 1].get() : nullptr;
    }
    TBand& free = *chains_[btFree].front();
    for (auto& v : views_) {
        if (!v->Unassigned)
            continue;
        v->TemplateY = v->Y;
        v->Band = &free;
        free.Views.push_back(v.get());
        v->Unassigned = false;
    }
}

void TPage::FreeBands()
{
    if (!HasBands())
        return;
    for (auto& v : views_) {
        if (v->T == vtBand || !v->Band)
            continue;
        v->Y = v->TemplateY;
        v->Band = nullptr;
    }
    for (auto& chain : chains_)
        chain.clear();
}
