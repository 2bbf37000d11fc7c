#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <string>

#include "base/basefile.h"
#include "base/baselog.h"
#include "standin_control.h"
#include "test_support.h"

namespace {

std::string LogBytes() { return velktest::ReadNativeFile(standin::NativePathUtf8("C:\\log\\DebugLog.txt")); }

// Runs the body with the local time zone set to `zone`.
template <class F>
void WithTimeZone(const char* zone, F body)
{
    const char* old = getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", zone, 1);
    tzset();
    body();
    if (old) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

}  // namespace

TEST(LogLine, PrefixTextAndCrLfLines)
{
    CreateFolderUtf8("C:\\log");
    time_t before = time(nullptr);
    WriteLogLine("C:\\log\\DebugLog.txt", "tile %d of %s", 7, "图块");
    WriteLogLine("C:\\log\\DebugLog.txt", "two\nlines");
    WriteLogLine("C:\\log\\DebugLog.txt", "");
    WriteLogLine("C:\\log\\DebugLog.txt", "100%%");
    time_t after = time(nullptr);

    std::string log = LogBytes();
    std::regex line(R"(\[(\d{4})/(\d{2})/(\d{2}) (\d{2}):(\d{2}):(\d{2})\]  )");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(log, m, line));
    EXPECT_EQ(m.position(0), 0);
    std::string prefix = m.str(0);
    ASSERT_EQ(prefix.size(), 23u);  // the caller's text starts at the 24th character
    struct tm t = {};
    t.tm_year = std::stoi(m.str(1)) - 1900;
    t.tm_mon = std::stoi(m.str(2)) - 1;
    t.tm_mday = std::stoi(m.str(3));
    t.tm_hour = std::stoi(m.str(4));
    t.tm_min = std::stoi(m.str(5));
    t.tm_sec = std::stoi(m.str(6));
    t.tm_isdst = -1;
    time_t stamped = mktime(&t);
    EXPECT_GE(stamped, before);
    EXPECT_LE(stamped, after);

    // only the prefix varies between lines written in the same second or not
    std::string expected = "tile 7 of 图块\r\n|two\r\nlines\r\n|\r\n|100%\r\n";
    std::string body = std::regex_replace(log, line, "|");
    EXPECT_EQ(body, "|" + expected);
}

TEST(LogLine, MissingFolderWritesAndCreatesNothing)
{
    WriteLogLine("C:\\nolog\\DebugLog.txt", "x");
    EXPECT_EQ(GetPathKindUtf8("C:\\nolog"), -1);
    WriteLogLine(nullptr, "x");
}

TEST(LogLine, LocalTimeOfAGivenMoment)
{
    WithTimeZone("UTC", [] {
        int64_t t = 1577934245;  // 2020-01-02 03:04:05 UTC
        struct tm out;
        ASSERT_EQ(GetLocalTm(&out, &t), &out);
        EXPECT_EQ(out.tm_year + 1900, 2020);
        EXPECT_EQ(out.tm_mon, 0);
        EXPECT_EQ(out.tm_mday, 2);
        EXPECT_EQ(out.tm_hour, 3);
        EXPECT_EQ(out.tm_min, 4);
        EXPECT_EQ(out.tm_sec, 5);
    });
    WithTimeZone("CST-8", [] {
        int64_t t = 1577934245;
        struct tm out;
        GetLocalTm(&out, &t);
        EXPECT_EQ(out.tm_hour, 11);
        int64_t huge = INT64_MAX;  // does not convert
        GetLocalTm(&out, &huge);
        EXPECT_EQ(out.tm_year, 0);
        EXPECT_EQ(out.tm_mday, 0);
    });
}
