#include "db/ReadPlan.h"

#include "db/TableFile.h"

#include <algorithm>

int CompareKeys(const IndexLayout& layout, const std::vector<DbValue>& a, const std::vector<DbValue>& b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const int c = CompareDbValues(a[i], b[i], layout.columns[i].caseInsensitive);
        if (c != 0)
            return c;
    }
    return 0;
}

// ---------------------------------------------------------------- planning

std::vector<ReadPart> ReadPlanner::From(
    const std::vector<DbValue>& key, size_t length, bool forward, bool includeEqual, size_t minLevel) const
{
    std::vector<ReadPart> parts;
    if (includeEqual) {
        ReadPart p;
        p.fixed = length;
        p.prefix.assign(key.begin(), key.begin() + long(length));
        p.desc = !forward;
        Refine(std::move(p), parts);
    }
    for (size_t level = length; level-- > minLevel;) {
        ReadPart p;
        p.fixed = level;
        p.prefix.assign(key.begin(), key.begin() + long(level));
        p.desc = !forward;
        if (forward) {
            p.hasLo = true;
            p.lov = key[level];
        } else {
            p.hasHi = true;
            p.hiv = key[level];
        }
        Refine(std::move(p), parts);
    }
    return parts;
}

void ReadPlanner::Refine(ReadPart part, std::vector<ReadPart>& out) const
{
    if (rangeEmpty_)
        return;
    const IndexLayout& l = layout_;
    const size_t level = part.fixed;
    const bool ci = level < l.columns.size() && l.columns[level].caseInsensitive;
    if (lower_) {
        const size_t m = lower_->size();
        const int c = CompareKeys(l, part.prefix, *lower_, std::min(level, m));
        if (c < 0)
            return;
        if (c == 0 && level < m) {
            if (!part.hasLo || CompareDbValues((*lower_)[level], part.lov, ci) > 0) {
                part.hasLo = true;
                part.lov = (*lower_)[level];
                part.loIncl = true;
            }
            if (m > level + 1)
                part.lowerRest.assign(lower_->begin() + long(level), lower_->end());
        }
    }
    if (upper_) {
        const size_t m = upper_->size();
        const int c = CompareKeys(l, part.prefix, *upper_, std::min(level, m));
        if (c > 0)
            return;
        if (c == 0 && level < m) {
            if (!part.hasHi || CompareDbValues((*upper_)[level], part.hiv, ci) < 0) {
                part.hasHi = true;
                part.hiv = (*upper_)[level];
                part.hiIncl = true;
            }
            if (m > level + 1)
                part.upperRest.assign(upper_->begin() + long(level), upper_->end());
        }
    }
    if (level >= l.columns.size()) {
        out.push_back(std::move(part));
        return;
    }
    if (part.hasLo && part.hasHi && !part.lov.IsNull() && !part.hiv.IsNull()) {
        const int c = CompareDbValues(part.lov, part.hiv, ci);
        if (c > 0 || (c == 0 && !(part.loIncl && part.hiIncl)))
            return;
    }
    const bool neverNull = l.columns[level].notNull;
    const bool lowAdmitsNull = !neverNull && (!part.hasLo || (part.lov.IsNull() && part.loIncl));
    if (part.hasHi && part.hiv.IsNull()) {
        if (part.hiIncl && lowAdmitsNull) {
            part.hi = ReadPart::HiIsNull;
            out.push_back(std::move(part));
        }
        return;
    }
    if (neverNull && !part.hasLo) {
        if (part.hasHi)
            part.hi = part.hiIncl ? ReadPart::HiLe : ReadPart::HiLt;
        out.push_back(std::move(part));
        return;
    }
    if (lowAdmitsNull) {
        if (!part.hasHi) {
            out.push_back(std::move(part));
            return;
        }
        ReadPart nulls = part;
        nulls.hi = ReadPart::HiIsNull;
        part.hi = part.hiIncl ? ReadPart::HiLe : ReadPart::HiLt;
        if (part.desc) {
            out.push_back(std::move(part));
            out.push_back(std::move(nulls));
        } else {
            out.push_back(std::move(nulls));
            out.push_back(std::move(part));
        }
        return;
    }
    part.lo = part.lov.IsNull() ? ReadPart::LoNotNull : (part.loIncl ? ReadPart::LoGe : ReadPart::LoGt);
    if (part.hasHi)
        part.hi = part.hiIncl ? ReadPart::HiLe : ReadPart::HiLt;
    out.push_back(std::move(part));
}

// ---------------------------------------------------------------- SQL

namespace {

// A key column inside a check the index must not be used for.
QByteArray Unindexed(const KeyColumn& c)
{
    QByteArray plain = c.expr;
    QByteArray collate;
    const int at = plain.indexOf(" COLLATE ");
    if (at >= 0) {
        collate = plain.mid(at);
        plain.truncate(at);
    }
    return "(+" + plain + ")" + collate;
}

// (columns from `from`) >= values, null being the least value.
void LexGreaterEqual(const std::vector<KeyColumn>& cols, size_t from, const std::vector<DbValue>& values, size_t k,
    QByteArray& sql, std::vector<const DbValue*>& params)
{
    const QByteArray col = Unindexed(cols[from + k]);
    const DbValue& v = values[k];
    const bool last = k + 1 == values.size();
    if (last) {
        if (v.IsNull()) {
            sql += "1";
        } else {
            sql += col + " >= ?";
            params.push_back(&v);
        }
        return;
    }
    sql += '(';
    if (v.IsNull()) {
        sql += col + " IS NOT NULL";
    } else {
        sql += col + " > ?";
        params.push_back(&v);
    }
    sql += " OR (" + col + " IS ? AND ";
    params.push_back(&v);
    LexGreaterEqual(cols, from, values, k + 1, sql, params);
    sql += "))";
}

void LexLessEqual(const std::vector<KeyColumn>& cols, size_t from, const std::vector<DbValue>& values, size_t k,
    QByteArray& sql, std::vector<const DbValue*>& params)
{
    const QByteArray col = Unindexed(cols[from + k]);
    const DbValue& v = values[k];
    const bool last = k + 1 == values.size();
    if (last) {
        if (v.IsNull()) {
            sql += col + " IS NULL";
        } else {
            sql += "(" + col + " IS NULL OR " + col + " <= ?)";
            params.push_back(&v);
        }
        return;
    }
    sql += '(';
    if (v.IsNull()) {
        sql += "0";
    } else {
        sql += "(" + col + " IS NULL OR " + col + " < ?)";
        params.push_back(&v);
    }
    sql += " OR (" + col + " IS ? AND ";
    params.push_back(&v);
    LexLessEqual(cols, from, values, k + 1, sql, params);
    sql += "))";
}

} // namespace

uint32_t ReadPart::Shape(ReadMode mode) const
{
    return uint32_t(mode) | (desc ? 4u : 0u) | (uint32_t(lo) << 3) | (uint32_t(hi) << 5) | (uint32_t(fixed) << 7);
}

void ReadPart::Params(std::vector<const DbValue*>& params) const
{
    params.clear();
    for (size_t i = 0; i < fixed; ++i)
        params.push_back(&prefix[i]);
    if (lo == LoGt || lo == LoGe)
        params.push_back(&lov);
    if (hi == HiLt || hi == HiLe)
        params.push_back(&hiv);
}

QByteArray ReadPart::Sql(const IndexLayout& l, ReadMode mode, const QByteArray& selectList, const QByteArray& tableRef,
    std::vector<const DbValue*>& params) const
{
    QByteArray sql;
    sql.reserve(256);
    if (mode == ReadMode::Count)
        sql = "SELECT count(*) FROM " + tableRef + " WHERE 1";
    else if (mode == ReadMode::Delete)
        sql = "DELETE FROM " + tableRef + " WHERE 1";
    else
        sql = "SELECT " + selectList + " FROM " + tableRef + " WHERE 1";
    for (size_t i = 0; i < fixed; ++i)
        sql += " AND " + l.columns[i].expr + " IS ?";
    if (fixed < l.columns.size()) {
        const QByteArray& col = l.columns[fixed].expr;
        switch (lo) {
        case LoGt: sql += " AND " + col + " > ?"; break;
        case LoGe: sql += " AND " + col + " >= ?"; break;
        case LoNotNull: sql += " AND " + col + " IS NOT NULL"; break;
        case LoNone: break;
        }
        switch (hi) {
        case HiLt: sql += " AND " + col + " < ?"; break;
        case HiLe: sql += " AND " + col + " <= ?"; break;
        case HiIsNull: sql += " AND " + col + " IS NULL"; break;
        case HiNone: break;
        }
    }
    if (!lowerRest.empty()) {
        sql += " AND ";
        LexGreaterEqual(l.columns, fixed, lowerRest, 0, sql, params);
    }
    if (!upperRest.empty()) {
        sql += " AND ";
        LexLessEqual(l.columns, fixed, upperRest, 0, sql, params);
    }
    if (mode == ReadMode::Select || mode == ReadMode::SelectOffset) {
        sql += " ORDER BY " + (desc ? l.orderDesc : l.orderAsc) + " LIMIT ?";
        if (mode == ReadMode::SelectOffset)
            sql += " OFFSET ?";
    }
    return sql;
}
