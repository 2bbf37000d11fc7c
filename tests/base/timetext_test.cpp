#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "base/timetext.h"

// Runs the body under a POSIX TZ rule and restores the zone afterwards.
class ZoneGuard
{
public:
    explicit ZoneGuard(const char* tz)
    {
        const char* old = getenv("TZ");
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ZoneGuard()
    {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST(TimeText, ClockOffsetsAndTimeTexts)
{
    const int64_t before = (int64_t)time(nullptr);
    const int64_t now = NowSeconds();
    EXPECT_GE(now, before);
    EXPECT_LE(now, before + 2);
    EXPECT_GE(NowMilliseconds() / 1000, before);

    struct tm t;
    const int64_t moment = 1700000000;  // 2023-11-14 22:13:20 UTC, a Tuesday
    GetUtcTm(&t, &moment);
    EXPECT_TRUE(t.tm_year == 123 && t.tm_mon == 10 && t.tm_mday == 14 && t.tm_hour == 22 && t.tm_min == 13);

    struct Zone { const char* tz; int32_t offset; };
    for (const Zone& z : {Zone{"UTC0", 0}, Zone{"CST-8", 8 * 3600}, Zone{"EST5", -5 * 3600},
                          Zone{"<+0530>-5:30", 5 * 3600 + 1800}, Zone{"<+13>-13", 13 * 3600},
                          Zone{"<-11>11", -11 * 3600}}) {
        ZoneGuard guard(z.tz);
        EXPECT_EQ(UtcOffsetSeconds(), z.offset) << z.tz;
    }

    ZoneGuard guard("CST-8");
    EXPECT_EQ(MakeTimeValue(2023, 11, 15, 6, 13, 20, 0), 1700000000);
    EXPECT_EQ(MakeTimeValue(2023, 11, 15, 6, 13, 20, 1), 1700000000 + 8 * 3600);
    // the value keeps its low 32 bits
    EXPECT_EQ(MakeTimeValue(2106, 2, 7, 14, 28, 16, 0), 0);

    char out[64];
    FormatTimeText(moment, nullptr, out, 0);
    EXPECT_STREQ(out, "2023-11-15 06:13:20");
    FormatTimeText(moment, nullptr, out, 1);
    EXPECT_STREQ(out, "2023-11-14 22:13:20");
    FormatTimeText(moment, "ww yyyy/mm/dd", out, 1);
    EXPECT_STREQ(out, "\xB6\xFE 2023/11/14");  // 二, Tuesday
    FormatTimeText(moment, "ww", out, 0);
    EXPECT_STREQ(out, "\xC8\xFD");  // 三, Wednesday in local time
    FormatTimeText(moment - 2 * 86400, "ww", out, 1);
    EXPECT_STREQ(out, "\xC8\xD5");  // 日
    FormatTimeText(moment, "hh-hh", out, 1);
    EXPECT_STREQ(out, "22-hh");  // only the first occurrence
}
