#pragma once
// Checks the tests share: a variant compared to the bit, the message of a
// raised error, and table rows named for gtest.

#include "platform/Variant.h"

#include <gtest/gtest.h>

#include <QString>
#include <cctype>
#include <cstring>
#include <string>

// Same type and the same value: doubles to the bit, strings to the letter.
inline bool SameVariant(const Variant& a, const Variant& b)
{
    if (a.Type() != b.Type())
        return false;
    switch (a.Type()) {
    case VarType::Empty:
    case VarType::Null: return true;
    case VarType::String: return a.AsString() == b.AsString();
    case VarType::Double: {
        const double x = a.AsDouble(), y = b.AsDouble();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    default: return Variant::Compare(a, b) == 0 && a.AsString() == b.AsString();
    }
}

// The message of the E that f raises; a text no message has when it raises none.
template <class E, class F> QString MessageOf(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

// The name of a table row (its `name` member) as gtest takes it: letters and
// digits kept, anything else "_".
template <class Row> std::string RowName(const testing::TestParamInfo<Row>& info)
{
    std::string s;
    for (const char* p = info.param.name; *p; ++p)
        s += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return s;
}
