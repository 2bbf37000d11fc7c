// The module's dialog templates and its string table, written as the
// resource compiler stores them: DLGTEMPLATEEX records and blocks of 16
// counted UTF-16 strings.
#include <cstdint>
#include <string>
#include <vector>

#include "module_resources.h"

namespace velkres {
namespace {

const uint16_t kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082, kComboBox = 0x0085;
const uint32_t kChild = 0x50010000;  // WS_CHILD | WS_VISIBLE | WS_TABSTOP
const uint32_t kDefPush = 0x0001, kAutoCheck = 0x0003, kGroupBox = 0x0007;
const uint32_t kFirstRadio = 0x0009 | 0x00020000, kRadio = 0x0009;  // auto radio buttons, the first opens the group
const uint32_t kDropList = 0x0003 | 0x00200000;                     // drop-down list with a scroll bar
const uint32_t kReadOnlyEdit = 0x0080 | 0x0800;                     // auto-scrolling, read-only
const uint32_t kReadOnlyText = 0x0004 | 0x0040 | 0x0800 | 0x00200000;  // multi-line, read-only, scrolling
const uint32_t kDialogStyle = 0x80000000 | 0x00C00000 | 0x00080000 | 0x80 | 0x40 | 0x08;  // popup, caption,
                                                                                         // menu, modal frame,
                                                                                         // font, fixed system

struct Item {
    uint16_t cls;
    uint32_t style;
    int16_t x, y, cx, cy;
    int32_t id;
    std::u16string text;
};

class Bytes {
public:
    std::vector<BYTE> b;
    void Word(uint32_t v)
    {
        b.push_back((BYTE)v);
        b.push_back((BYTE)(v >> 8));
    }
    void Dword(uint32_t v)
    {
        Word(v & 0xFFFF);
        Word(v >> 16);
    }
    void Text(const std::u16string& s)
    {
        for (char16_t c : s) Word(c);
        Word(0);
    }
    void Align4()
    {
        while (b.size() % 4) b.push_back(0);
    }
};

std::vector<BYTE> DialogTemplate(int16_t cx, int16_t cy, const std::u16string& className,
                                 const std::u16string& caption, const std::vector<Item>& items)
{
    Bytes t;
    t.Word(1);
    t.Word(0xFFFF);
    t.Dword(0);  // help id
    t.Dword(0);  // extended style
    t.Dword(kDialogStyle);
    t.Word((uint32_t)items.size());
    t.Word(0), t.Word(0), t.Word((uint16_t)cx), t.Word((uint16_t)cy);
    t.Word(0);  // no menu
    if (className.empty()) t.Word(0);
    else t.Text(className);
    t.Text(caption);
    t.Word(8), t.Word(400), t.b.push_back(0), t.b.push_back(1);  // 8 point, weight 400, charset 1
    t.Text(u"MS Shell Dlg");
    for (const Item& i : items) {
        t.Align4();
        t.Dword(0), t.Dword(0), t.Dword(kChild | i.style);
        t.Word((uint16_t)i.x), t.Word((uint16_t)i.y), t.Word((uint16_t)i.cx), t.Word((uint16_t)i.cy);
        t.Dword((uint32_t)i.id);
        t.Word(0xFFFF), t.Word(i.cls);
        t.Text(i.text);
        t.Word(0);  // no creation data
    }
    return t.b;
}

// The block of string ids [16 (n - 1), 16 n).
std::vector<BYTE> StringBlock(int block, const std::vector<std::pair<int, std::u16string>>& strings)
{
    Bytes t;
    for (int id = (block - 1) * 16; id < block * 16; ++id) {
        std::u16string s;
        for (auto& [sid, text] : strings)
            if (sid == id) s = text;
        t.Word((uint32_t)s.size());
        for (char16_t c : s) t.Word(c);
    }
    return t.b;
}

struct Tables {
    std::vector<std::vector<BYTE>> data;
    std::vector<standin::ModuleResource> table;
    Tables()
    {
        Add(5, 8103,
            DialogTemplate(309, 177, u"VelkArxWin", u"DialogMODELESS",
                           {{kButton, kDefPush, 49, 91, 50, 14, 1, u"确定"},
                            {kButton, 0, 252, 156, 50, 14, 2, u"取消"}}));
        Add(5, 8353,
            DialogTemplate(211, 126, u"", u"提示",
                           {{kButton, kGroupBox, 7, 4, 197, 92, -1, u""},
                            {kEdit, kReadOnlyText, 14, 14, 183, 76, 8137, u""},
                            {kButton, kAutoCheck, 10, 105, 90, 12, 8351, u"不再提示(不更新)"},
                            {kButton, kDefPush, 104, 103, 46, 16, 1, u"是"},
                            {kButton, 0, 156, 103, 46, 16, 2, u"否"}}));
        Add(5, 8314,
            DialogTemplate(209, 101, u"", u"提示",
                           {{kEdit, kReadOnlyText, 7, 7, 195, 64, 8138, u""},
                            {kButton, kDefPush, 40, 79, 50, 15, 1, u"确定"},
                            {kButton, 0, 118, 79, 50, 15, 8354, u"不再提示"}}));
        Add(5, 8219,
            DialogTemplate(265, 134, u"", u"",
                           {{kStatic, 0, 7, 7, 251, 100, 8217, u""}, {kButton, kDefPush, 107, 113, 50, 14, 1, u"确定"}}));
        Add(5, 8134,
            DialogTemplate(377, 242, u"", u"VelkArx使用帮助",
                           {{kEdit, kReadOnlyText, 7, 7, 363, 206, 8326, u""},
                            {kButton, kDefPush, 163, 221, 50, 14, 1, u"确定"}}));
        Add(5, 8145,
            DialogTemplate(229, 138, u"", u"下载地图到本地",
                           {{kStatic, 0, 10, 12, 60, 10, -1, u"地图类型:"},
                            {kEdit, kReadOnlyEdit, 78, 10, 140, 14, 8142, u""},
                            {kStatic, 0, 10, 32, 60, 10, -1, u"地图级别："},
                            {kComboBox, kDropList, 78, 30, 140, 120, 8144, u""},
                            {kStatic, 0, 10, 52, 60, 10, -1, u"取图范围："},
                            {kButton, kFirstRadio, 78, 52, 70, 10, 8146, u"框选一个矩形"},
                            {kButton, kRadio, 148, 52, 78, 10, 8147, u"选择一个对象(的外围)"},
                            {kStatic, 0, 10, 74, 66, 10, -1, u"地图名称(可不写)："},
                            {kEdit, 0x0080, 78, 72, 140, 14, 8148, u""},
                            {kButton, 0, 10, 112, 60, 16, 8140, u"清除所有地图"},
                            {kButton, kDefPush, 104, 112, 52, 16, 1, u"开始"},
                            {kButton, 0, 166, 112, 52, 16, 2, u"取消"}}));
        // The toolbar's tooltips: the text after "\n" of each command's string.
        Add(6, 32768 / 16 + 1,
            StringBlock(32768 / 16 + 1, {{32768, u"\n发送所选对象到拓岚"},
                                         {32769, u"\n加载在线底图"},
                                         {32770, u"\n下载底图到本地"},
                                         {32771, u"\n下载高程(DEM)"},
                                         {32772, u"\n设置关联点"},
                                         {32773, u"\n设置属性"},
                                         {32781, u"\n设置断面参数"}}));
        for (size_t i = 0; i < table.size(); ++i) {
            table[i].bytes = data[i].data();
            table[i].size = (DWORD)data[i].size();
        }
    }
    void Add(int type, int id, std::vector<BYTE> bytes)
    {
        data.push_back(std::move(bytes));
        table.push_back({MAKEINTRESOURCEW(type), (WORD)id, 0x804, nullptr, 0});
    }
};

}  // namespace

const standin::ModuleResource* UiResources(size_t* count)
{
    static const Tables tables;
    if (count) *count = tables.table.size();
    return tables.table.data();
}

}  // namespace velkres
