#pragma once
// A template page and the bands a run sorts its objects into.

#include "reports/ReportView.h"

#include <QStringList>
#include <array>
#include <memory>
#include <vector>

class TDocument;

// The band names the designer shows; the last entry (free objects) is empty.
extern const std::array<QString, kBandKinds> BandNamesEng;
extern const std::array<QString, kBandKinds> BandNamesRus;

class TBand {
public:
    explicit TBand(int kind) : Kind(kind) {}
    int Kind;
    TBand* Next = nullptr; // the next band of the same kind
    int Top = 0; // the marker's Y; while drawn, the band's top on the sheet
    int Height = 0;
    int CurHeight = 0;
    std::vector<TView*> Views; // not owned
    QStringList Memo; // the marker's text lines
};

class TPage {
public:
    TPage(int orientation, TDocument* document) : Document(document), O(orientation) {}
    TPage(const TPage&) = delete;
    TPage& operator=(const TPage&) = delete;

    TDocument* Document;
    // Run state.
    bool FooterPrinted = false;
    bool Continue = false;
    bool HeaderPending = false;
    int CurY = 0;
    int O = 0; // 0 portrait, 1 landscape
    bool F = false; // page header on the first sheet
    bool P = false; // continue on the previous sheet

    int ViewCount() const { return static_cast<int>(views_.size()); }
    TView* View(int i) const { return views_.at(i).get(); }
    TView* AddView(std::unique_ptr<TView> view);
    // The designer reorders the list (drawing order) through these two.
    TView* InsertView(int i, std::unique_ptr<TView> view);
    std::unique_ptr<TView> TakeView(int i);
    void DeleteView(int i);
    void DeleteAllViews();

    // The first band of kind k (present between CreateBands and FreeBands).
    TBand* Band(int kind) const { return chains_[kind].empty() ? nullptr : chains_[kind].front().get(); }
    void CreateBands();
    void FreeBands();
    bool HasBands() const { return !chains_[0].empty(); }

private:
    void AssignViewsToBands();

    std::vector<std::unique_ptr<TView>> views_;
    std::array<std::vector<std::unique_ptr<TBand>>, kBandKinds> chains_;
};
