// The reader of servers' modification times: any text is read or refused without failing, a
// moment written in each of the forms servers use reads back as that moment, and what it reads
// survives the program's own local ISO 8601 form.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "check.h"
#include "platform/server_time.h"

namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kLongDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// 0001-01-01T00:00:00Z and 9999-12-31T23:59:59Z.
constexpr std::int64_t kFirst = -62135596800;
constexpr std::int64_t kLast = 253402300799;

// Local time is then inside the years the reader takes (year 1 UTC can be year 0 locally).
bool InsideByADay(std::time_t when) {
    return when >= kFirst + 86400 && when <= kLast - 86400;
}

std::string Printf(const char* format, auto... args) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The local zone comes from the second byte: whole hours, summer time, half hours west of
    // UTC, and an old local mean time whose offset has seconds.
    static constexpr const char* kZones[] = {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "XST+9:30",
                                             "LMT-0:19:32"};
    ::setenv("TZ", kZones[size > 1 ? data[1] % 4 : 0], 1);
    ::tzset();
    // A first byte of 0 asks for the structured test, anything else for the rest as text.
    if (size > 0 && data[0] != 0) {
        const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
        if (const auto when = nbx::ParseServerTime(text); when && InsideByADay(*when)) {
            FUZZ_CHECK(nbx::ParseServerTime(nbx::FormatLocalIsoTime(*when)) == when);
        }
        return 0;
    }
    FuzzedDataProvider in(data + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);

    const std::time_t when = in.ConsumeIntegralInRange<std::int64_t>(kFirst, kLast);
    std::tm utc{};
    FUZZ_CHECK(gmtime_r(&when, &utc) != nullptr);
    const int year = utc.tm_year + 1900;
    const char* day = kDays[utc.tm_wday];
    const char* month = kMonths[utc.tm_mon];

    FUZZ_CHECK(nbx::ParseServerTime(Printf("%s, %02d %s %04d %02d:%02d:%02d GMT", day, utc.tm_mday,
                                           month, year, utc.tm_hour, utc.tm_min, utc.tm_sec)) ==
               when);
    FUZZ_CHECK(nbx::ParseServerTime(Printf("%s %s %2d %02d:%02d:%02d %04d", day, month, utc.tm_mday,
                                           utc.tm_hour, utc.tm_min, utc.tm_sec, year)) == when);
    if (year >= 1970 && year <= 2069) {  // two-digit years stand for these
        FUZZ_CHECK(nbx::ParseServerTime(Printf(
                       "%s, %02d-%s-%02d %02d:%02d:%02d GMT", kLongDays[utc.tm_wday], utc.tm_mday,
                       month, year % 100, utc.tm_hour, utc.tm_min, utc.tm_sec)) == when);
    }
    FUZZ_CHECK(nbx::ParseServerTime(Printf("%04d-%02d-%02dT%02d:%02d:%02dZ", year, utc.tm_mon + 1,
                                           utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec)) ==
               when);
    FUZZ_CHECK(nbx::ParseServerTime(Printf("%04d-%02d-%02d %02d:%02d:%02d.%03d", year,
                                           utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                                           utc.tm_sec, in.ConsumeIntegralInRange(0, 999))) == when);

    // The same moment written at another offset (up to 23:59 either way).
    const int offset = in.ConsumeIntegralInRange(-(23 * 60 + 59), 23 * 60 + 59) * 60;
    const std::time_t shifted = when + offset;
    std::tm local{};
    FUZZ_CHECK(gmtime_r(&shifted, &local) != nullptr);
    if (local.tm_year + 1900 >= 1 && local.tm_year + 1900 <= 9999) {
        const int minutes = (offset < 0 ? -offset : offset) / 60;
        FUZZ_CHECK(nbx::ParseServerTime(Printf(
                       "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                       local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                       offset < 0 ? '-' : '+', minutes / 60, minutes % 60)) == when);
    }
    if (InsideByADay(when)) {
        FUZZ_CHECK(nbx::ParseServerTime(nbx::FormatLocalIsoTime(when)) == when);
    }
    return 0;
}
