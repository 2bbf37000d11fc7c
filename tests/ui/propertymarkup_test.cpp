#include <gtest/gtest.h>

#include "ui/propertymarkup.h"

namespace {

struct Row {
    const wchar_t* key;
    const wchar_t* value;
};

void ExpectRows(const std::vector<MarkupRow>& rows, std::initializer_list<Row> want)
{
    ASSERT_EQ(rows.size(), want.size());
    size_t i = 0;
    for (const Row& w : want) {
        EXPECT_EQ(rows[i].key, w.key) << i;
        EXPECT_EQ(rows[i].value, w.value) << i;
        ++i;
    }
}

const wchar_t kTag[] = L"<?brisan_ct name=\"管线\"?>\r\n";

}  // namespace

TEST(PropertyMarkup, ParseThenBuildGivesTheCanonicalForm)
{
    const CString remark = CString(L"说明第一行\r\n第二行") + kTag +
                           L"\"名称\":\"阀门 3\",\r\n"
                           L"\"口径\": 200 ,\r\n"
                           L"\"在用\" : true,\r\n"
                           L"\"停用\":false,\r\n"
                           L"\"备注\":\"含:冒号\"\r\n"
                           L"}\r\n结尾";
    const EntityPropertyMarkup markup = ParseMarkup(remark);
    const std::vector<MarkupRow>& rows = markup.rows;
    EXPECT_EQ(markup.tagLine, kTag);
    ExpectRows(rows, {{kMarkupHeaderKey, L"说明第一行   第二行"},
                      {L"名称", L"阀门 3"},
                      {L"口径", L"200"},
                      {L"在用", L"bool_true"},
                      {L"停用", L"bool_false"},
                      {L"备注", L"含:冒号"},
                      {kMarkupTailKey, L"   结尾"}});

    const CString canonical = CString(L"说明第一行\r\n第二行") + kTag +
                              L"\"名称\":\"阀门 3\",\r\n"
                              L"\"口径\":\"200\",\r\n"
                              L"\"在用\":true,\r\n"
                              L"\"停用\":false,\r\n"
                              L"\"备注\":\"含:冒号\"\r\n"
                              L"}\r\n结尾";
    EXPECT_EQ(BuildMarkup(markup), canonical);
    EXPECT_FALSE(MarkupRoundTrips(remark));
    EXPECT_TRUE(MarkupRoundTrips(canonical));

    // an edited value goes back in its place, bare words quoted
    EntityPropertyMarkup edited = markup;
    edited.rows[3].value = L"是";
    edited.rows[1].value = L"bool_false";
    const CString rebuilt = BuildMarkup(edited);
    EXPECT_NE(rebuilt.Find(L"\"名称\":false,\r\n\"口径\":\"200\",\r\n\"在用\":\"是\",\r\n"), -1) << rebuilt.GetString();
}

TEST(PropertyMarkup, HeaderAndTailLineBreaksShowAsThreeSpaces)
{
    const CString remark = CString(L"第一行\r\n\r\n第三行\r\n") + kTag + L"\"k\":\"v\"\r\n}尾1\r\n尾2\r\n";
    const EntityPropertyMarkup markup = ParseMarkup(remark);
    ExpectRows(markup.rows, {{kMarkupHeaderKey, L"第一行      第三行   "},
                      {L"k", L"v"},
                      {kMarkupTailKey, L"尾1   尾2   "}});
    EXPECT_EQ(BuildMarkup(markup), remark);

    // three spaces of the text itself come back as a line break: the list
    // would change such a remark, and says so
    const CString spaced = CString(L"标题   副标题") + kTag + L"\"k\":\"v\"\r\n}a    b";
    EXPECT_EQ(BuildMarkup(ParseMarkup(spaced)), CString(L"标题\r\n副标题") + kTag + L"\"k\":\"v\"\r\n}a\r\n b");
    EXPECT_FALSE(MarkupRoundTrips(spaced));
}

TEST(PropertyMarkup, BareValuesAndTheClosingBrace)
{
    // a bare last value still ends the rows at the closing brace
    const CString bareLast = CString(kTag) + L"\"a\":\"1\",\r\n\"b\":false\r\n}尾";
    ExpectRows(ParseMarkup(bareLast).rows, {{L"a", L"1"}, {L"b", L"bool_false"}, {kMarkupTailKey, L"尾"}});
    EXPECT_TRUE(MarkupRoundTrips(bareLast));

    // no rows at all, or only the tail: the brace and the tail, without
    // the tag line, so such a remark is not offered as rows
    const CString noRows = CString(kTag) + L"}尾巴";
    const EntityPropertyMarkup tailOnly = ParseMarkup(noRows);
    ExpectRows(tailOnly.rows, {{kMarkupTailKey, L"尾巴"}});
    EXPECT_EQ(tailOnly.tagLine, kTag);
    EXPECT_EQ(BuildMarkup(tailOnly), L"}尾巴");
    EXPECT_EQ(BuildMarkup({{}, kTag}), L"}");
    EXPECT_FALSE(MarkupRoundTrips(noRows));
    // a header row is a row: the tag line follows it
    const CString headerOnly = CString(L"头") + kTag + L"}";
    EXPECT_TRUE(MarkupRoundTrips(headerOnly));

    // without a closing brace the rows are the complete lines; the last,
    // unfinished line is not among them
    const CString open = CString(kTag) + L"\"a\":\"1\",\r\n\"b\":\"2\"";
    ExpectRows(ParseMarkup(open).rows, {{L"a", L"1"}});
    EXPECT_FALSE(MarkupRoundTrips(open));
}

TEST(PropertyMarkup, ALineThatIsNotARowEndsTheList)
{
    const CString remark = CString(kTag) + L"{\r\n\"a\":\"1\"\r\n}";
    const EntityPropertyMarkup none = ParseMarkup(remark);
    EXPECT_TRUE(none.rows.empty());
    EXPECT_EQ(BuildMarkup(none), L"}");
    EXPECT_FALSE(MarkupRoundTrips(remark));

    // rows after the stray line are lost; the tail after the brace is not
    const CString stray = CString(kTag) + L"\"a\":\"1\",\r\n杂项\r\n\"b\":\"2\"\r\n}尾";
    const EntityPropertyMarkup cut = ParseMarkup(stray);
    ExpectRows(cut.rows, {{L"a", L"1"}, {kMarkupTailKey, L"尾"}});
    EXPECT_EQ(BuildMarkup(cut), CString(kTag) + L"\"a\":\"1\"\r\n}尾");
    EXPECT_FALSE(MarkupRoundTrips(stray));
}

TEST(PropertyMarkup, TheFirstTagLineIsKeptAndRowLines)
{
    const CString kept = L"<?brisan_ct name=\"旧\"?>\r\n";
    const CString remark = CString(kTag) + L"\"a\":\"1\"\r\n}";
    EXPECT_EQ(BuildMarkup(ParseMarkup(remark, kept)), L"<?brisan_ct name=\"旧\"?>\r\n\"a\":\"1\"\r\n}");
    EXPECT_TRUE(HasPropertyMarkup(kTag));  // the tag itself starts with "<?"
    EXPECT_FALSE(HasPropertyMarkup(L"brisan_ct name=\"a\""));

    const struct {
        const wchar_t* line;
        bool row;
        const wchar_t* key;
        const wchar_t* value;
    } cases[] = {
        {L"  \"k\" :  \" v \" ,", true, L"k", L" v "},
        {L"\"k\":True", true, L"k", L"True"},
        {L"\"k\":", true, L"k", L""},
        {L"\"k\":true, ", true, L"k", L"true,"},  // the comma is only taken off the very end
        {L"\"k\":\"a\"b\"", true, L"k", L"a"},     // text after the fourth quote is not read
        {L"\"k\":\"open", false, L"", L""},
        {L"\"a:b\":\"c\"", false, L"", L""},        // a colon inside the key
        {L"k:\"v\"", false, L"", L""},
        {L"\"k\"", false, L"", L""},
    };
    for (const auto& c : cases) {
        CString key = L"-", value = L"-";
        EXPECT_EQ(ParseMarkupLine(c.line, key, value), c.row) << c.line;
        if (c.row) {
            EXPECT_EQ(key, c.key) << c.line;
            EXPECT_EQ(value, c.value) << c.line;
        }
    }
}
