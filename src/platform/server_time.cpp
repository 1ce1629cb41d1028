#include "platform/server_time.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>

namespace nbx {

namespace {

// Reads a text left to right; every step either takes what it wants or leaves the text as it
// was and says no.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ == text_.size(); }
    bool Char(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Blanks() {  // one or more
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] == ' ') {
            ++pos_;
        }
        return pos_ > start;
    }
    // Between minDigits and maxDigits digits.
    bool Number(int minDigits, int maxDigits, int& value) {
        std::size_t n = 0;
        int v = 0;
        while (n < std::size_t(maxDigits) && pos_ + n < text_.size() &&
               std::isdigit(static_cast<unsigned char>(text_[pos_ + n]))) {
            v = v * 10 + (text_[pos_ + n] - '0');
            ++n;
        }
        if (n < std::size_t(minDigits)) {
            return false;
        }
        pos_ += n;
        value = v;
        return true;
    }
    // One of the words, compared without case; its index.
    template <std::size_t N>
    bool Word(const std::array<const char*, N>& words, int& index) {
        for (std::size_t i = 0; i < N; ++i) {
            const std::string_view w = words[i];
            if (text_.size() - pos_ >= w.size() && EqualNoCase(text_.substr(pos_, w.size()), w)) {
                pos_ += w.size();
                index = static_cast<int>(i);
                return true;
            }
        }
        return false;
    }

private:
    static bool EqualNoCase(std::string_view a, std::string_view b) {
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(a[i])) !=
                std::tolower(static_cast<unsigned char>(b[i]))) {
                return false;
            }
        }
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// Long names first, so that "Sunday" is not read as "Sun" followed by "day".
constexpr std::array<const char*, 14> kDays = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday",
    "Sun",    "Mon",    "Tue",     "Wed",       "Thu",      "Fri",    "Sat"};

struct Fields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int offsetSeconds = 0;  // east of UTC
};

bool Leap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysIn(int year, int month) {
    static constexpr int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && Leap(year) ? 29 : kDaysIn[month - 1];
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = static_cast<int>(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::optional<std::time_t> ToTime(const Fields& f) {
    if (f.year < 1 || f.year > 9999 || f.month < 1 || f.month > 12 || f.day < 1 ||
        f.day > DaysIn(f.year, f.month) || f.hour > 23 || f.minute > 59 || f.second > 60) {
        return std::nullopt;
    }
    const std::int64_t seconds = DaysFromCivil(f.year, f.month, f.day) * 86400 + f.hour * 3600 +
                                 f.minute * 60 + f.second - f.offsetSeconds;
    return static_cast<std::time_t>(seconds);
}

bool Clock(Reader& r, Fields& f) {
    return r.Number(2, 2, f.hour) && r.Char(':') && r.Number(2, 2, f.minute) && r.Char(':') &&
           r.Number(2, 2, f.second);
}

// "GMT", "UTC", "UT", "Z" or a numeric offset: +hhmm, +hh:mm or +hh.
bool Zone(Reader& r, Fields& f, bool named) {
    int index = 0;
    if (named && r.Word(std::array<const char*, 3>{"GMT", "UTC", "UT"}, index)) {
        return true;
    }
    if (r.Char('Z') || r.Char('z')) {
        return true;
    }
    const int sign = r.Char('+') ? 1 : r.Char('-') ? -1 : 0;
    int hours = 0, minutes = 0;
    if (sign == 0 || !r.Number(2, 2, hours)) {
        return false;
    }
    if (r.Char(':')) {
        if (!r.Number(2, 2, minutes)) {
            return false;
        }
    } else {
        r.Number(2, 2, minutes);
    }
    if (hours > 23 || minutes > 59) {
        return false;
    }
    f.offsetSeconds = sign * (hours * 3600 + minutes * 60);
    return true;
}

// "Sun, 06 Nov 1994 08:49:37 GMT" and "Sunday, 06-Nov-94 08:49:37 GMT" (a lone day number is
// allowed too, as some servers write "6 Nov").
std::optional<std::time_t> HttpDate(std::string_view text) {
    Reader r(text);
    Fields f;
    int index = 0;
    if (!r.Word(kDays, index) || !r.Char(',')) {
        return std::nullopt;
    }
    r.Blanks();
    if (!r.Number(1, 2, f.day)) {
        return std::nullopt;
    }
    const bool dashes = r.Char('-');
    if (!dashes && !r.Blanks()) {
        return std::nullopt;
    }
    if (!r.Word(kMonths, index)) {
        return std::nullopt;
    }
    f.month = index + 1;
    if (dashes ? !r.Char('-') : !r.Blanks()) {
        return std::nullopt;
    }
    int year = 0;
    if (dashes) {
        // Two digits: 70 to 99 are the 1900s, the rest this century.
        if (!r.Number(2, 2, year)) {
            return std::nullopt;
        }
        year += year >= 70 ? 1900 : 2000;
    } else if (!r.Number(4, 4, year)) {
        return std::nullopt;
    }
    f.year = year;
    if (!r.Blanks() || !Clock(r, f) || !r.Blanks() || !Zone(r, f, true)) {
        return std::nullopt;
    }
    r.Blanks();
    return r.AtEnd() ? ToTime(f) : std::nullopt;
}

// "Sun Nov  6 08:49:37 1994", always UTC.
std::optional<std::time_t> AscTime(std::string_view text) {
    Reader r(text);
    Fields f;
    int index = 0;
    if (!r.Word(kDays, index) || !r.Blanks() || !r.Word(kMonths, index) || !r.Blanks()) {
        return std::nullopt;
    }
    f.month = index + 1;
    if (!r.Number(1, 2, f.day) || !r.Blanks() || !Clock(r, f) || !r.Blanks() ||
        !r.Number(4, 4, f.year)) {
        return std::nullopt;
    }
    r.Blanks();
    return r.AtEnd() ? ToTime(f) : std::nullopt;
}

// "1994-11-06T08:49:37Z", "1994-11-06T09:49:37.250+01:00", "1994-11-06 08:49:37".
std::optional<std::time_t> IsoTime(std::string_view text) {
    Reader r(text);
    Fields f;
    if (!r.Number(4, 4, f.year) || !r.Char('-') || !r.Number(2, 2, f.month) || !r.Char('-') ||
        !r.Number(2, 2, f.day)) {
        return std::nullopt;
    }
    if (!r.Char('T') && !r.Char('t') && !r.Char(' ')) {
        return std::nullopt;
    }
    if (!Clock(r, f)) {
        return std::nullopt;
    }
    int fraction = 0;
    if ((r.Char('.') || r.Char(',')) && !r.Number(1, 9, fraction)) {
        return std::nullopt;
    }
    if (!r.AtEnd()) {
        r.Blanks();
        if (!Zone(r, f, true)) {
            return std::nullopt;
        }
    }
    return r.AtEnd() ? ToTime(f) : std::nullopt;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace

std::optional<std::time_t> ParseServerTime(std::string_view text) {
    text = Trim(text);
    if (text.empty()) {
        return std::nullopt;
    }
    if (std::isdigit(static_cast<unsigned char>(text.front()))) {
        return IsoTime(text);
    }
    if (auto t = HttpDate(text)) {
        return t;
    }
    return AscTime(text);
}

std::string FormatLocalIsoTime(std::time_t when) {
    std::tm local{};
    if (::localtime_r(&when, &local) == nullptr) {
        return {};
    }
    // An offset with seconds (a zone's old local mean time, +00:19:32) is written with its whole
    // minutes and the clock shown to match, so that the text still names the same moment.
    const long offset = local.tm_gmtoff / 60 * 60;
    if (offset != local.tm_gmtoff) {
        const std::time_t shifted = when + offset;
        if (::gmtime_r(&shifted, &local) == nullptr) {
            return {};
        }
    }
    const long magnitude = offset < 0 ? -offset : offset;
    // Four digits for every year (strftime's %Y writes year 1 as "1").
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', magnitude / 3600,
                  magnitude / 60 % 60);
    return text;
}

std::string NormalizeServerTime(const std::string& text) {
    if (const auto when = ParseServerTime(text)) {
        std::string iso = FormatLocalIsoTime(*when);
        if (!iso.empty()) {
            return iso;
        }
    }
    return text;
}

}  // namespace nbx
