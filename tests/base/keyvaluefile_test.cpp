#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/keyvaluefile.h"
#include "base/runcommand.h"
#include "base/sortedsearch.h"
#include "test_support.h"

TEST(KeyValueFile, TagsAndKeysInText)
{
    char out[8];
    EXPECT_TRUE(ExtractTag("<a>hello</a>", "a", out, sizeof out));
    EXPECT_STREQ(out, "hello");
    EXPECT_TRUE(ExtractTag("<a>much too long</a>", "a", out, sizeof out));
    EXPECT_STREQ(out, "much to");
    EXPECT_FALSE(ExtractTag("<a>open only", "a", out, sizeof out));
    EXPECT_FALSE(ExtractTag("</a>close only", "a", out, sizeof out));
    // a tag name too long for the tag buffers fails instead of overrunning them
    const std::string longTag(120, 't');
    const std::string text = "<" + longTag + ">x</" + longTag + ">";
    EXPECT_FALSE(ExtractTag(text.c_str(), longTag.c_str(), out, sizeof out));

    const char* kv = "# port=1\r\nxport=2\r\n  port = 80\r\nname=\"web server\"\r\nbad=\"open\r\n";
    EXPECT_STREQ(FindKeyValue(kv, "port"), " 80\r\nname=\"web server\"\r\nbad=\"open\r\n");
    EXPECT_EQ(FindKeyValue(kv, "missing"), nullptr);
    EXPECT_EQ(KvReadInt64(kv, "port"), 80);
    EXPECT_EQ(KvReadInt64(kv, "missing"), 0);
    char q[16];
    EXPECT_EQ(KvReadQuoted(kv, "name", q, sizeof q), 10);
    EXPECT_STREQ(q, "web server");
    EXPECT_EQ(KvReadQuoted(kv, "name", q, 10), 0);  // not shorter than size
    EXPECT_EQ(KvReadQuoted(kv, "bad", q, sizeof q), 0);
    EXPECT_EQ(KvReadQuoted("k=\"v\"", "k", q, sizeof q), 0);  // no line feed
}

TEST(KeyValueFile, FilesUpdateInPlaceOrAppend)
{
    const char* p = "C:\\settings.txt";
    const std::string path = velktest::MachineRoot() + "/C/settings.txt";
    EXPECT_EQ(KvFileReadInt64(p, "count", 7), 7);  // no file
    EXPECT_STREQ(KvFileReadText(p, "name", "none"), "none");

    KvFileWriteInt64(p, "count", 5);
    KvFileWriteText(p, "name", "alpha");
    EXPECT_EQ(velktest::ReadNativeFile(path), "count=5\r\nname=\"alpha\"\r\n");
    KvFileWriteInt64(p, "count", -1234567890123LL);
    KvFileWriteText(p, "name", "a value much longer than the file's slack would hold");
    EXPECT_EQ(KvFileReadInt64(p, "count", 7), -1234567890123LL);
    EXPECT_STREQ(KvFileReadText(p, "name", "none"), "a value much longer than the file's slack would hold");
    // a text value longer than the whole file and its slack
    const std::string big(3000, 'b');
    KvFileWriteText(p, "name", big.c_str());
    EXPECT_EQ(KvFileReadText(p, "name", "none"), big);
    EXPECT_EQ(KvFileReadInt64(p, "count", 7), -1234567890123LL);
    EXPECT_EQ(velktest::ReadNativeFile(path), "count=-1234567890123\r\nname=\"" + big + "\"\r\n");
    // a stored 0 reads as the default
    KvFileWriteInt64(p, "count", 0);
    EXPECT_EQ(KvFileReadInt64(p, "count", 7), 7);
}

static int CompareInt(const void* key, const void* element)
{
    const int a = *(const int*)key, b = *(const int*)element;
    return a < b ? -1 : a > b ? 1 : 0;
}

TEST(KeyValueFile, SortedSearchAndCommands)
{
    struct Record { char tag[4]; int key; };
    const Record records[] = {{"a", 2}, {"b", 5}, {"c", 9}, {"d", 14}};
    struct { int key; bool found; int index; } cases[] = {
        {2, true, 0}, {9, true, 2}, {14, true, 3}, {1, false, 0}, {6, false, 2}, {20, false, 4}};
    for (const auto& c : cases) {
        int32_t index = -1;
        EXPECT_EQ(SortedFindIndex(records, sizeof(Record), offsetof(Record, key), 4, &c.key, &index, CompareInt),
                  c.found);
        EXPECT_EQ(index, c.index) << c.key;
    }
    int32_t index = -1;
    const int key = 3;
    EXPECT_FALSE(SortedFindIndex(records, sizeof(Record), offsetof(Record, key), 0, &key, &index, CompareInt));
    EXPECT_EQ(index, 0);

    const std::string out = velktest::MachineRoot() + "/ran.txt";
    EXPECT_EQ(RunProgram("/bin/sh", 0, "-c \"echo %d > %s\"", 42, out.c_str()), 1);
    EXPECT_EQ(velktest::ReadNativeFile(out), "42\n");
    // a line that does not fit is refused and nothing runs
    const std::string tooLong(1200, 'x');
    const std::string out2 = velktest::MachineRoot() + "/not.txt";
    EXPECT_EQ(RunCommandLine("/bin/sh", 0, 1, "-c \"echo %s > %s\"", tooLong.c_str(), out2.c_str()), 0);
    EXPECT_FALSE(velktest::NativeExists(out2));
}
