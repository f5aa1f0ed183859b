#include <gtest/gtest.h>

#include <string>

#include "display_name.h"

TEST(TrimDisplayName, DropsTheLastParenthesisedRemark) {
    struct Row {
        const char* label;
        std::wstring name, trimmed;
    } rows[] = {
        {"blank and remark dropped", L"Ann Lee (Sales)", L"Ann Lee"},
        {"two parts keep the first", L"Ann (A) Lee (B)", L"Ann (A) Lee"},
        {"letter before ( goes too", L"Ann Lee(Sales)", L"Ann Le"},
        {"last ( as second character", L"A(x)", L""},
        {"last ( as first character", L"(Sales)", L""},
        {"empty remark at the start", L"()", L""},
        {") alone", L")", L")"},
        {") without (", L"Ann Lee)", L"Ann Lee)"},
        {"( without closing )", L"Ann (Sales", L"Ann (Sales"},
        {"( not at the end", L"Ann (Sales) Lee", L"Ann (Sales) Lee"},
        {"no parentheses", L"Ann Lee", L"Ann Lee"},
        {"empty", L"", L""},
    };
    for (const auto& r : rows) EXPECT_EQ(r.trimmed, orvalis::TrimDisplayName(r.name)) << r.label;
}
