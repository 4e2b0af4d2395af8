#pragma once
// The read planner of the cursor: how to read an index in key order from a
// key onwards, inside the cursor's range, as a few index-ordered queries
// that SQLite answers from the index alone. Internal to the table layer.

#include "db/DbValue.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

struct IndexLayout;

// What a part's statement answers.
enum class ReadMode : uint32_t { Select = 0, Count = 1, SelectOffset = 2, Delete = 3 };

// One index-ordered query of a plan: the leading `fixed` key columns equal
// the prefix, the next column within bounds, deeper columns checked against
// the rest of a partial range bound.
struct ReadPart {
    enum Lo : uint8_t { LoNone, LoGt, LoGe, LoNotNull };
    enum Hi : uint8_t { HiNone, HiLt, HiLe, HiIsNull };

    size_t fixed = 0;
    std::vector<DbValue> prefix;
    bool desc = false;

    // The interval on column `fixed` while planning (null is the least value).
    bool hasLo = false;
    bool loIncl = false;
    DbValue lov;
    bool hasHi = false;
    bool hiIncl = false;
    DbValue hiv;

    // Its shape in SQL after refining.
    Lo lo = LoNone;
    Hi hi = HiNone;

    std::vector<DbValue> lowerRest;
    std::vector<DbValue> upperRest;

    // Without the rest of a partial bound the statement depends only on
    // Shape, so a prepared one can be kept for it.
    bool Plain() const { return lowerRest.empty() && upperRest.empty(); }
    uint32_t Shape(ReadMode mode) const;
    // The values bound to the statement's placeholders, in order.
    void Params(std::vector<const DbValue*>& params) const;
    // The statement; the rest of a partial bound adds its values to params.
    QByteArray Sql(const IndexLayout& layout, ReadMode mode, const QByteArray& selectList, const QByteArray& tableRef,
        std::vector<const DbValue*>& params) const;
};

// Compares the first n values of two keys of the index.
int CompareKeys(const IndexLayout& layout, const std::vector<DbValue>& a, const std::vector<DbValue>& b, size_t n);

// Plans reads of one index inside a range (a bound is null when unset).
class ReadPlanner {
public:
    ReadPlanner(const IndexLayout& layout, bool rangeEmpty, const std::vector<DbValue>* lower,
        const std::vector<DbValue>* upper)
        : layout_(layout), rangeEmpty_(rangeEmpty), lower_(lower), upper_(upper)
    {
    }

    // The parts that read from the first `length` values of key: its equal
    // rows when includeEqual, then those after it (before it, backwards),
    // leaving the leading minLevel values fixed.
    std::vector<ReadPart> From(
        const std::vector<DbValue>& key, size_t length, bool forward, bool includeEqual, size_t minLevel) const;
    // Narrows a part to the range and to what SQL can test on the index;
    // adds nothing when no row of the range can match.
    void Refine(ReadPart part, std::vector<ReadPart>& out) const;

private:
    const IndexLayout& layout_;
    bool rangeEmpty_;
    const std::vector<DbValue>* lower_;
    const std::vector<DbValue>* upper_;
};
