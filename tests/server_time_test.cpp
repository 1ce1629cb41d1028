#include <gtest/gtest.h>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/server_time.h"

namespace {

// 1994-11-06 08:49:37 UTC, the moment of the examples in the HTTP standards.
constexpr std::time_t kExample = 784111777;

TEST(ServerTimeTest, ReadsEveryFormServersWrite) {
    const struct {
        const char* text;
        std::time_t when;
    } cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", kExample},        // RFC 1123
        {"Sunday, 06-Nov-94 08:49:37 GMT", kExample},       // RFC 850
        {"Sun Nov  6 08:49:37 1994", kExample},             // asctime
        {"1994-11-06T08:49:37Z", kExample},                 // ISO 8601
        {"1994-11-06T09:49:37+01:00", kExample},            // with an offset
        {"1994-11-06T03:19:37.250-0530", kExample},         // fraction, offset without colon
        {"1994-11-06 08:49:37", kExample},                  // the cloud disk's, UTC
        {"  sun, 6 nov 1994 08:49:37 utc \r\n", kExample},  // blanks, case, a lone digit
        {"Thu, 01 Jan 1970 00:00:00 GMT", 0},               // the epoch
        {"Wed, 31 Dec 1969 23:59:59 GMT", -1},              // before it
        {"Tuesday, 01-Jan-69 00:00:00 GMT", 3124224000},    // two digits below 70: 2069
        {"Thu, 29 Feb 2024 12:00:00 GMT", 1709208000},      // a leap day
        {"Fri, 31 Dec 9999 23:59:59 GMT", 253402300799},    // the last year read
        {"2026-12-11T13:04:05+01:00", 1796990645},
    };
    for (const auto& c : cases) {
        const auto when = nbx::ParseServerTime(c.text);
        ASSERT_TRUE(when.has_value()) << c.text;
        EXPECT_EQ(*when, c.when) << c.text;
    }
}

TEST(ServerTimeTest, AnythingElseIsNoTime) {
    for (const char* text : {
             "",
             "   ",
             "yesterday",
             "Sun, 06 Nov 1994 08:49:37",        // RFC 1123 needs its zone
             "Sun, 06 Nov 1994 08:49:37 GMT x",  // trailing words
             "Sun, 06 Foo 1994 08:49:37 GMT",    // no such month
             "Sun, 30 Feb 1994 08:49:37 GMT",    // no such day
             "Sun, 29 Feb 2100 08:49:37 GMT",    // not a leap year
             "Sun, 06 Nov 1994 24:00:00 GMT",    // no such hour
             "Sun, 06 Nov 1994 08:60:00 GMT",
             "Sun, 06 Nov 94 08:49:37 GMT",   // two digits need RFC 850's dashes
             "Sun 06 Nov 1994 08:49:37 GMT",  // no comma
             "1994-11-06",                    // a date alone
             "1994-11-06T08:49",              // no seconds
             "1994-13-06T08:49:37Z",
             "1994-11-06T08:49:37+25:00",
             "1994-11-06T08:49:37+01:",
             "1994-11-06T08:49:37.Z",
             "0000-01-01T00:00:00Z",
             "99999-01-01T00:00:00Z",
         }) {
        EXPECT_FALSE(nbx::ParseServerTime(text).has_value()) << text;
    }
    EXPECT_FALSE(nbx::ParseServerTime(std::string("1994-11-06T08:49:37Z\0x", 22)).has_value());
}

class LocalZone : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        saved_ = tz != nullptr ? std::optional<std::string>(tz) : std::nullopt;
        // A POSIX rule needs no zone database: Central European time with its summer time.
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        ::tzset();
    }
    void TearDown() override {
        if (saved_) {
            ::setenv("TZ", saved_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    std::optional<std::string> saved_;
};

TEST_F(LocalZone, ShowsLocalTimeWithItsOffset) {
    EXPECT_EQ(nbx::FormatLocalIsoTime(kExample), "1994-11-06T09:49:37+01:00");
    EXPECT_EQ(nbx::NormalizeServerTime("Sat, 11 Jul 2026 12:00:00 GMT"),
              "2026-07-11T14:00:00+02:00")
        << "summer time";
    EXPECT_EQ(nbx::NormalizeServerTime("2026-12-11 12:04:05"), "2026-12-11T13:04:05+01:00");
    EXPECT_EQ(nbx::NormalizeServerTime("sometime last week"), "sometime last week")
        << "an unreadable text stays as it came";
    EXPECT_EQ(nbx::NormalizeServerTime(""), "");
}

TEST_F(LocalZone, WhatItShowsReadsBackAsTheSameMoment) {
    // A zone's old local mean time has seconds in its offset, which ISO 8601 cannot write.
    ::setenv("TZ", "LMT-0:19:32", 1);
    ::tzset();
    EXPECT_EQ(nbx::FormatLocalIsoTime(kExample), "1994-11-06T09:08:37+00:19");
    EXPECT_EQ(nbx::ParseServerTime(nbx::FormatLocalIsoTime(kExample)), kExample);
    // Years before 1000 keep their four digits.
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    constexpr std::time_t kFirstDay = -62135596800;  // 0001-01-01T00:00:00Z
    EXPECT_EQ(nbx::FormatLocalIsoTime(kFirstDay), "0001-01-01T00:00:00+00:00");
    EXPECT_EQ(nbx::ParseServerTime(nbx::FormatLocalIsoTime(kFirstDay)), kFirstDay);
}

}  // namespace
