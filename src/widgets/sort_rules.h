#pragma once

// The three comparison rules of list rows, as plain functions so that tests need no display.

#include <string>

namespace nbx::ui {

enum class CompareRule { kText, kSize, kDate };

// Negative when a comes first in ascending order, zero when equal, positive otherwise. Texts
// are compared as the rows show them (at most 256 characters are looked at).
int CompareText(const std::string& a, const std::string& b);
int CompareSize(const std::string& a, const std::string& b);
int CompareDate(const std::string& a, const std::string& b);
int Compare(CompareRule rule, const std::string& a, const std::string& b);
// A row text read once for many comparisons (a sort): Compare is CompareKeys of the two keys.
struct SortKey {
    std::u32string folded;   // the text rule: the text in one case
    long long number = 0;    // the size and date rules: bytes or the point in time
    bool hasNumber = false;  // the date rule: the text holds a date
};
SortKey MakeSortKey(CompareRule rule, const std::string& text);
int CompareKeys(CompareRule rule, const SortKey& a, const SortKey& b);
// The text's code points in one case, at most `limit` of them.
std::u32string FoldedCodePoints(const std::string& text, std::size_t limit);

}  // namespace nbx::ui
