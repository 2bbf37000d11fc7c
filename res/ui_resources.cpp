// The module's dialog templates and its string table, written as the
// resource compiler stores them: DLGTEMPLATEEX records and blocks of 16
// counted UTF-16 strings.
#include <cstdint>
#include <string>
#include <vector>

#include "module_resources.h"

namespace velkres {
namespace {

const uint16_t kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082, kComboBox = 0x0085, kNamedClass = 0;
const uint32_t kChild = 0x50010000;  // WS_CHILD | WS_VISIBLE | WS_TABSTOP
const uint32_t kDefPush = 0x0001, kAutoCheck = 0x0003, kGroupBox = 0x0007, kAutoRadio = 0x0009;
const uint32_t kGroup = 0x00020000;                   // WS_GROUP: the first of a radio group
const uint32_t kDropDownList = 0x0003 | 0x00200000;  // CBS_DROPDOWNLIST, WS_VSCROLL
const uint32_t kDropDown = 0x0002 | 0x00200000;      // CBS_DROPDOWN (editable), WS_VSCROLL
const uint32_t kReadOnlyEdit = 0x0080 | 0x0800;      // ES_AUTOHSCROLL, ES_READONLY
const uint32_t kNumber = 0x2000;                     // ES_NUMBER
const uint32_t kAutoScroll = 0x0080;                 // ES_AUTOHSCROLL
const uint32_t kMultiLine = 0x0004 | 0x1000 | 0x00200000;  // ES_MULTILINE, ES_WANTRETURN, WS_VSCROLL
const uint32_t kReport = 0x0001 | 0x0004 | 0x0008 | 0x00800000;  // LVS_REPORT, single selection,
                                                                   // always shown, border
const uint32_t kHidden = 0x10000000;                 // taken out of kChild: WS_VISIBLE
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
    std::u16string className = u"";  // for kNamedClass
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
        t.Dword(0), t.Dword(0), t.Dword((kChild | i.style) & ~(i.style & kHidden ? kHidden : 0u));
        t.Word((uint16_t)i.x), t.Word((uint16_t)i.y), t.Word((uint16_t)i.cx), t.Word((uint16_t)i.cy);
        t.Dword((uint32_t)i.id);
        if (i.cls == kNamedClass) t.Text(i.className);
        else {
            t.Word(0xFFFF);
            t.Word(i.cls);
        }
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
        // The options dialog.
        Add(5, 8133,
            DialogTemplate(330, 236, u"", u"设置",
                           {{kButton, kGroupBox, 7, 4, 316, 92, -1, u"常规"},
                            {kButton, kAutoCheck, 16, 16, 90, 12, 8357, u"自动加载插件"},
                            {kButton, kAutoCheck, 120, 16, 90, 12, 8181, u"自动同步对象"},
                            {kButton, kAutoCheck, 224, 16, 96, 12, 8359, u"退出后清除底图缓存"},
                            {kStatic, 0, 16, 34, 60, 10, -1, u"视图跟随模式："},
                            {kComboBox, kDropDownList, 80, 32, 80, 80, 8135, u""},
                            {kButton, kAutoCheck, 176, 34, 90, 12, 8191, u"点显示为图标"},
                            {kStatic, 0, 16, 52, 90, 18, -1, u"拓岚中无绑定级别的\r\n文字及标签指定为:"},
                            {kComboBox, kDropDownList, 110, 54, 80, 90, 8127, u""},
                            {kButton, kAutoCheck, 16, 76, 150, 12, 8332, u"拓岚发送对象到CAD时，颜色随层"},
                            {kButton, kAutoCheck, 176, 76, 100, 12, 8355, u"双击显示对象属性"},
                            {kButton, kGroupBox, 7, 100, 316, 54, -1, u"底图缓存路径:"},
                            {kStatic, 0, 16, 114, 240, 24, 8139, u""},
                            {kButton, 0, 262, 114, 54, 14, 8141, u"重新选择"},
                            {kStatic, 0, 16, 164, 90, 10, -1, u"底图最大级别(16-28):"},
                            {kEdit, kNumber, 110, 162, 40, 14, 8330, u""},
                            {kButton, 0, 16, 212, 60, 14, 8325, u"视频教程"},
                            {kButton, 0, 84, 212, 60, 14, 8198, u"重置配置"},
                            {kButton, kDefPush, 206, 212, 54, 14, 1, u"确定"},
                            {kButton, 0, 268, 212, 54, 14, 2, u"取消"}}));
        // The coordinate window (modeless).
        Add(5, 8115,
            DialogTemplate(296, 232, u"", u"设置关联点",
                           {{kStatic, 0, 17, 10, 158, 53, 8334, u""},
                            {kButton, 0, 210, 8, 76, 14, 8345, u"使用当前系统坐标系"},
                            {kButton, 0, 210, 30, 76, 14, 8346, u"去拓岚地图设置"},
                            {kButton, 0, 209, 50, 76, 14, 8348, u"了解更多关于坐标系"},
                            {kButton, kGroupBox, 78, 62, 118, 39, -1, u""},
                            {kButton, kAutoCheck, 83, 67, 117, 14, 8150, u"新建/打开文档时，不再提示"},
                            {kStatic, 0, 81, 82, 114, 20, -1, u"提示：若勾选不再提示，请用户自行判断坐标类型"},
                            {kButton, kGroupBox, 60, 102, 164, 108, 8107, u""},
                            {kStatic, 0, 85, 112, 10, 8, 8108, u"X="},
                            {kEdit, kAutoScroll, 123, 112, 61, 14, 8112, u""},
                            {kStatic, 0, 85, 130, 10, 8, 8109, u"Y="},
                            {kEdit, kAutoScroll, 124, 130, 61, 14, 8111, u""},
                            {kStatic, 0, 85, 148, 22, 8, 8318, u"经度="},
                            {kEdit, kAutoScroll, 124, 148, 61, 14, 8320, u""},
                            {kStatic, 0, 85, 166, 22, 8, 8110, u"纬度="},
                            {kEdit, kAutoScroll, 124, 166, 61, 14, 8114, u""},
                            {kButton, 0, 63, 192, 60, 14, 8322, u"清除"},
                            {kButton, kAutoCheck, 137, 194, 64, 10, 8335, u"使用简化参数"},
                            {kButton, 0, 203, 192, 15, 14, 8336, u" ？"},
                            {kButton, kDefPush, 58, 210, 73, 14, 8105, u"设置关联点"},
                            {kButton, 0, 175, 210, 50, 14, 8106, u"完成"}}));
        // The property dialog of a linked entity.
        Add(5, 8337,
            DialogTemplate(260, 220, u"", u"",
                           {{kStatic, 0, 7, 9, 44, 8, -1, u"对象名称:"},
                            {kEdit, kAutoScroll, 54, 7, 199, 14, 8136, u""},
                            {kStatic, 0, 7, 28, 44, 8, -1, u"备注信息："},
                            {kButton, 0, 193, 25, 60, 14, 8339, u"显示为文本"},
                            {kEdit, kMultiLine, 7, 42, 246, 146, 8340, u""},
                            {kNamedClass, kReport, 7, 42, 246, 146, 8342, u"", u"SysListView32"},
                            {kEdit, kAutoScroll | kHidden, 60, 60, 100, 12, 8343, u""},
                            {kStatic, 0, 7, 195, 120, 8, 8344, u"双击内容项可进行修改"},
                            {kButton, kDefPush, 143, 199, 50, 14, 1, u"确定"},
                            {kButton, 0, 203, 199, 50, 14, 2, u"取消"}}));
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
                            {kComboBox, kDropDownList, 78, 30, 140, 120, 8144, u""},
                            {kStatic, 0, 10, 52, 60, 10, -1, u"取图范围："},
                            {kButton, kAutoRadio | kGroup, 78, 52, 70, 10, 8146, u"框选一个矩形"},
                            {kButton, kAutoRadio, 148, 52, 78, 10, 8147, u"选择一个对象(的外围)"},
                            {kStatic, 0, 10, 74, 66, 10, -1, u"地图名称(可不写)："},
                            {kEdit, kAutoScroll, 78, 72, 140, 14, 8148, u""},
                            {kButton, 0, 10, 112, 60, 16, 8140, u"清除所有地图"},
                            {kButton, kDefPush, 104, 112, 52, 16, 1, u"开始"},
                            {kButton, 0, 166, 112, 52, 16, 2, u"取消"}}));
        Add(5, 8218,
            DialogTemplate(155, 145, u"", u"下载等高线",
                           {{kButton, kDefPush, 18, 123, 50, 14, 1, u"确定"},
                            {kButton, 0, 87, 123, 50, 14, 2, u"取消"},
                            {kComboBox, kDropDownList, 65, 26, 71, 30, 8143, u""},
                            {kStatic, 0, 18, 26, 38, 15, -1, u"下载级别:"},
                            {kStatic, 0, 18, 49, 68, 18, -1, u"精度(米)\n(可手动输入):"},
                            {kComboBox, kDropDown, 74, 51, 63, 53, 8213, u""},
                            {kButton, kGroupBox, 18, 71, 119, 44, -1, u"选择方式"},
                            {kButton, kAutoRadio | kGroup, 27, 83, 64, 10, 8214, u"框选一个矩形"},
                            {kButton, kAutoRadio, 27, 98, 93, 10, 8215, u"选择一个对象(的外围)"},
                            {kButton, 0, 59, 7, 87, 14, 8216, u"如何在Velk中下载高程"}}));
        Add(5, 8202,
            DialogTemplate(172, 170, u"", u"断面设置",
                           {{kButton, kAutoCheck, 27, 16, 72, 10, 8358, u"将轨迹头尾互换"},
                            {kButton, kGroupBox, 18, 40, 136, 68, -1, u"断面类型"},
                            {kStatic, 0, 29, 54, 106, 10, -1, u"置于基线前进方向右侧："},
                            {kButton, kAutoRadio | kGroup, 42, 68, 32, 10, 8192, u"正立"},
                            {kButton, kAutoRadio, 80, 68, 32, 10, 8193, u"倒立"},
                            {kStatic, 0, 31, 81, 90, 8, -1, u"置于基线前进方向左侧："},
                            {kButton, kAutoRadio, 39, 92, 32, 10, 8194, u"正立"},
                            {kButton, kAutoRadio, 78, 91, 32, 10, 8195, u"倒立"},
                            {kStatic, 0, 21, 131, 69, 8, -1, u"选择一个矩形区域:"},
                            {kButton, kDefPush, 95, 128, 50, 14, 1, u"开始"},
                            {kStatic, 0, 36, 150, 56, 8, -1, u"选择整个文档："},
                            {kButton, 0, 95, 147, 50, 14, 8201, u"开始"},
                            {kButton, 0, 111, 7, 51, 18, 8199, u"视频教程"}}));
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
