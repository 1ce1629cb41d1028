#include "widgets/sort_rules.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>

namespace nbx::ui {

namespace {

constexpr std::size_t kCompareLength = 256;  // a row text is looked at this far for sorting

// A reader with scanf's rules for "%3s, %d %s %d %d:%d:%d": conversions skip leading white
// space, a literal must be the next character, and numbers saturate instead of overflowing.
class DateScanner {
public:
    explicit DateScanner(std::string text) : text_(std::move(text)) {}

    bool Word(std::size_t maxLength, std::string& out) {
        SkipSpace();
        out.clear();
        while (pos_ < text_.size() && !IsSpace(text_[pos_]) && out.size() < maxLength) {
            out.push_back(text_[pos_++]);
        }
        return !out.empty();
    }
    bool Literal(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Number(long long& out) {
        SkipSpace();
        bool negative = false;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
            negative = text_[pos_++] == '-';
        }
        const std::size_t digits = pos_;
        long long value = 0;
        for (; pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; ++pos_) {
            value = value > 100000000000LL ? value : value * 10 + (text_[pos_] - '0');
        }
        out = negative ? -value : value;
        return pos_ > digits;
    }
    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) {
            ++pos_;
        }
    }

private:
    static bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
    std::string text_;
    std::size_t pos_ = 0;
};

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// One code point from UTF-8; a byte that starts no valid sequence stands for itself, so any
// byte string compares deterministically.
char32_t NextCodePoint(const std::string& s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    int extra = 0;
    char32_t cp = b0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extra = 3;
        cp = b0 & 0x07;
    }
    if (extra == 0 || i + static_cast<std::size_t>(extra) >= s.size()) {
        ++i;
        return b0;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = byte(i + static_cast<std::size_t>(k));
        if ((b & 0xC0) != 0x80) {
            ++i;
            return b0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

// Simple case folding for the scripts users name files in most: Latin, Greek, Cyrillic and
// full-width Latin. Enough for the list's case-insensitive rules, without a locale.
char32_t FoldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z') {
        return c + 0x20;
    }
    if (c < 0x80) {
        return c;
    }
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 0x20;
    }
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        // Pairs: even upper, odd lower, except 0x139..0x148 and 0x179..0x17E (odd upper).
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper) {
            return (c % 2 == 1) ? c + 1 : c;
        }
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) {
        return c + 0x20;
    }
    if (c >= 0x410 && c <= 0x42F) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    if (c >= 0xFF21 && c <= 0xFF3A) {
        return c + 0x20;
    }
    return c;
}

// strtoll from the start of the text, saturating instead of overflowing; 0 without digits.
long long LeadingInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    constexpr long long kMax = std::numeric_limits<long long>::max();
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return negative ? -value : value;
}

int MonthIndex(const std::string& name) {
    static constexpr std::array<const char*, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() >= 3) {
        std::string head = name.substr(0, 3);
        for (char& c : head) {
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
        }
        for (std::size_t m = 0; m < kMonths.size(); ++m) {
            if (head == kMonths[m]) {
                return static_cast<int>(m);
            }
        }
    }
    return 0;  // an unknown name counts as January
}

// The point in time of a date text, read as local time. None when a field is missing, and
// also when one is out of range (year 1900..9999, day 1..31, hour 0..23, minute and second
// 0..59): such a row sorts as undated rather than as some normalised date.
std::optional<std::time_t> ParseDate(const std::string& text) {
    DateScanner in(text.substr(0, kCompareLength));
    std::string weekday;
    std::string month;
    long long day = 0;
    long long year = 0;
    long long hour = 0;
    long long minute = 0;
    long long second = 0;
    if (!in.Word(3, weekday) || !in.Literal(',')) {
        return std::nullopt;
    }
    if (!in.Number(day) || !in.Word(kCompareLength, month) || !in.Number(year) ||
        !in.Number(hour) || !in.Literal(':') || !in.Number(minute) || !in.Literal(':') ||
        !in.Number(second)) {
        return std::nullopt;
    }
    if (year < 1900 || year > 9999 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = static_cast<int>(year - 1900);
    tm.tm_mon = MonthIndex(month);
    tm.tm_mday = static_cast<int>(day);
    tm.tm_hour = static_cast<int>(hour);
    tm.tm_min = static_cast<int>(minute);
    tm.tm_sec = static_cast<int>(second);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

template <typename T>
int Order(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

std::u32string FoldedCodePoints(const std::string& text, std::size_t limit) {
    std::u32string out;
    std::size_t i = 0;
    while (i < text.size() && out.size() < limit) {
        out.push_back(FoldCase(NextCodePoint(text, i)));
    }
    return out;
}

SortKey MakeSortKey(CompareRule rule, const std::string& text) {
    SortKey key;
    switch (rule) {
        case CompareRule::kText:
            key.folded = FoldedCodePoints(text, kCompareLength);
            break;
        case CompareRule::kSize: {
            const std::string head = text.substr(0, kCompareLength);
            long long n = LeadingInteger(head);
            if (EndsWith(head, "KB")) {
                constexpr long long kLimit = std::numeric_limits<long long>::max() / 1024;
                n = n > kLimit ? std::numeric_limits<long long>::max()
                               : (n < -kLimit ? std::numeric_limits<long long>::min() : n * 1024);
            }
            key.number = n;
            key.hasNumber = true;
            break;
        }
        case CompareRule::kDate:
            if (const std::optional<std::time_t> time = ParseDate(text)) {
                key.number = static_cast<long long>(*time);
                key.hasNumber = true;
            }
            break;
    }
    return key;
}

int CompareKeys(CompareRule rule, const SortKey& a, const SortKey& b) {
    if (rule == CompareRule::kText) {
        const std::size_t n = std::min(a.folded.size(), b.folded.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (a.folded[i] != b.folded[i]) {
                return a.folded[i] < b.folded[i] ? -1 : 1;
            }
        }
        return 0;  // a text that begins the other one compares equal to it
    }
    if (!a.hasNumber || !b.hasNumber) {
        return Order(a.hasNumber, b.hasNumber);  // undated first
    }
    return Order(a.number, b.number);
}

int Compare(CompareRule rule, const std::string& a, const std::string& b) {
    return CompareKeys(rule, MakeSortKey(rule, a), MakeSortKey(rule, b));
}

int CompareText(const std::string& a, const std::string& b) {
    return Compare(CompareRule::kText, a, b);
}

int CompareSize(const std::string& a, const std::string& b) {
    return Compare(CompareRule::kSize, a, b);
}

int CompareDate(const std::string& a, const std::string& b) {
    return Compare(CompareRule::kDate, a, b);
}

}  // namespace nbx::ui
