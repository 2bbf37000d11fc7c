// The property dialog of a linked entity: which view it offers, editing
// values in the list, and what OK and Cancel leave in the link and on the
// entity.
#include "../ui/dialog_fixture.h"
#include "exchange/entpropertydlg.h"
#include "oddbcurves.h"
#include "oddbtext.h"

namespace {

const int kName = 8136, kView = 8339, kRemark = 8340, kList = 8342, kValue = 8343, kHint = 8344;

const wchar_t kMarkup[] =
    L"来自外业\r\n<?brisan_ct name=\"井\"?>\r\n\"编号\":\"J-7\",\r\n\"深度\":\"3.5\",\r\n\"已验收\":true\r\n}备注尾";

class PropertyDialogTest : public DialogFixture {
protected:
    OdDbObjectId Add(OdDbEntity* entity, const wchar_t* name, const wchar_t* remark)
    {
        OdDbBlockTableRecord* ms = nullptr;
        EXPECT_EQ(oddbOpenObject(ms, doc->database()->getModelSpaceId(), OdDb::kForWrite), eOk);
        OdDbObjectId id;
        EXPECT_EQ(ms->appendOdDbEntity(id, entity), eOk);
        entity->close();
        ms->close();
        link = new MapObjInfo();
        link->handle = (uint64_t)id.getHandle();
        link->peerId = 42;
        link->name = name;
        link->remark = remark;
        SetEntityLink(drawing->links, link->handle, link, 1);
        return id;
    }
    OdDbObjectId AddText(const wchar_t* name, const wchar_t* remark)
    {
        auto* text = new OdDbText();
        text->setTextString(name);
        return Add(text, name, remark);
    }
    INT_PTR Show(OdDbObjectId id, std::function<int(HWND)> act)
    {
        standin::QueueDialogAnswer(CEntPropertyDlg::IDD, std::move(act));
        return ShowEntityPropertyDialog(id);
    }
    static standin::DialogControl& Item(HWND d, int id) { return standin::DialogItem(d, id); }
    static std::vector<std::wstring> Column(HWND d, size_t column)
    {
        std::vector<std::wstring> cells;
        for (auto& row : Item(d, kList).rows) cells.push_back(column < row.size() ? row[column] : L"");
        return cells;
    }
    OdString TextOf(OdDbObjectId id)
    {
        OdDbText* text = nullptr;
        if (oddbOpenObject(text, id, OdDb::kForRead) != eOk) return OdString();
        OdString s = text->textString();
        text->close();
        return s;
    }
    MapObjInfo* link = nullptr;
};

TEST_F(PropertyDialogTest, AMarkupRemarkOpensAsRowsAndSwitchingViewsLeavesTheLinkAlone)
{
    OdDbObjectId id = AddText(L"井1", kMarkup);
    std::wstring title, caption, shownText;
    std::vector<std::wstring> keys, values;
    bool remarkShown = true, listShown = false, hintShown = false, listAfterSwitch = true;
    EXPECT_EQ(Show(id,
                   [&](HWND d) {
                       wchar_t buf[64] = {};
                       GetWindowTextW(d, buf, 64);
                       title = buf;
                       caption = Item(d, kView).text;
                       keys = Column(d, 0);
                       values = Column(d, 1);
                       remarkShown = Item(d, kRemark).visible;
                       listShown = Item(d, kList).visible;
                       hintShown = Item(d, kHint).visible;
                       standin::ClickDialogItem(d, kView);
                       shownText = Item(d, kRemark).text;
                       listAfterSwitch = Item(d, kList).visible;
                       EXPECT_EQ(Item(d, kView).text, L"显示为列表");
                       return IDCANCEL;
                   }),
              IDCANCEL);
    EXPECT_EQ(title, L"AcDbText");
    EXPECT_EQ(caption, L"显示为文本");
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"头部信息", L"编号", L"深度", L"已验收", L"尾部信息"}));
    EXPECT_EQ(values, (std::vector<std::wstring>{L"来自外业   ", L"J-7", L"3.5", L"bool_true", L"备注尾"}));
    EXPECT_FALSE(remarkShown);
    EXPECT_TRUE(listShown);
    EXPECT_TRUE(hintShown);
    EXPECT_EQ(shownText, kMarkup);
    EXPECT_FALSE(listAfterSwitch);
    // Cancel after the switch: the link is as it was.
    EXPECT_EQ(link->remark, kMarkup);
    EXPECT_EQ(link->saved, 1);
}

TEST_F(PropertyDialogTest, RemarksTheRowsCannotHoldStayText)
{
    const wchar_t* remarks[] = {
        L"普通备注",
        L"brisan_ct name 只在开头",
        L"头\r\n<?brisan_ct name=\"井\"?>\r\n\"编号\":\"J-7\",\r\n{\r\n\"深度\":\"3\"\r\n}",  // a line no row
    };
    for (const wchar_t* remark : remarks) {
        OdDbObjectId id = AddText(L"井", remark);
        bool buttonShown = true, listShown = true;
        std::wstring text;
        Show(id, [&](HWND d) {
            buttonShown = Item(d, kView).visible;
            listShown = Item(d, kList).visible;
            text = Item(d, kRemark).text;
            return IDOK;
        });
        EXPECT_FALSE(buttonShown) << remark;
        EXPECT_FALSE(listShown) << remark;
        EXPECT_EQ(text, remark);
        EXPECT_EQ(link->remark, remark);
    }
}

TEST_F(PropertyDialogTest, TextEditedIntoWhatTheRowsCannotHoldStaysTextWithoutAQuestion)
{
    const std::wstring markup = kMarkup;
    // A stray line, and a new tag line the rows would put back as it was.
    const std::wstring stray = std::wstring(markup).insert(markup.find(L"\"深度\""), L"{\r\n");
    const std::wstring retagged = std::wstring(markup).replace(markup.find(L"\"井\""), 3, L"\"阀\"");
    for (const std::wstring& typed : {stray, retagged}) {
        OdDbObjectId id = AddText(L"井1", kMarkup);
        const size_t boxes = standin::MessageBoxes().size();
        bool buttonShown = true, listShown = true, remarkShown = false;
        EXPECT_EQ(Show(id,
                       [&](HWND d) {
                           standin::ClickDialogItem(d, kView);  // to the text
                           standin::TypeIntoDialogItem(d, kRemark, typed);
                           standin::ClickDialogItem(d, kView);  // back to the rows?
                           buttonShown = Item(d, kView).visible;
                           listShown = Item(d, kList).visible;
                           remarkShown = Item(d, kRemark).visible;
                           return IDOK;
                       }),
                  IDOK);
        EXPECT_EQ(standin::MessageBoxes().size(), boxes);
        EXPECT_FALSE(buttonShown);
        EXPECT_FALSE(listShown);
        EXPECT_TRUE(remarkShown);
        EXPECT_EQ(std::wstring(link->remark.GetString()), typed);
    }
}

TEST_F(PropertyDialogTest, AValueEditedInPlaceReachesTheLinkOnOk)
{
    OdDbObjectId id = AddText(L"井1", kMarkup);
    std::wstring editorText;
    bool editorAfterKeyClick = true;
    EXPECT_EQ(Show(id,
                   [&](HWND d) {
                       // The key column is not edited.
                       standin::DoubleClickListCell(d, kList, 1, 0);
                       editorAfterKeyClick = Item(d, kValue).visible;
                       standin::DoubleClickListCell(d, kList, 7, 1);  // below the rows
                       EXPECT_FALSE(Item(d, kValue).visible);
                       standin::DoubleClickListCell(d, kList, 2, 1);
                       editorText = Item(d, kValue).text;
                       EXPECT_TRUE(Item(d, kValue).visible);
                       EXPECT_EQ(standin::DialogFocus(d), kValue);
                       standin::TypeIntoDialogItem(d, kValue, L"4.0");
                       standin::MoveDialogFocus(d, kName);
                       EXPECT_FALSE(Item(d, kValue).visible);
                       EXPECT_EQ(Column(d, 1)[2], L"4.0");
                       return IDOK;
                   }),
              IDOK);
    EXPECT_FALSE(editorAfterKeyClick);
    EXPECT_EQ(editorText, L"3.5");
    EXPECT_EQ(link->remark,
              L"来自外业\r\n<?brisan_ct name=\"井\"?>\r\n\"编号\":\"J-7\",\r\n\"深度\":\"4.0\",\r\n\"已验收\":true\r\n}备注尾");
    EXPECT_EQ(link->saved, 0);
    EXPECT_EQ(link->nameEdited, 0);
    EXPECT_EQ(TextOf(id), L"井1");

    // A click elsewhere first takes the focus from the open editor: a second
    // value double-clicked, or the view switched, keeps the first edit.
    std::wstring shownText;
    EXPECT_EQ(Show(id,
                   [&](HWND d) {
                       standin::DoubleClickListCell(d, kList, 1, 1);
                       standin::TypeIntoDialogItem(d, kValue, L"J-9");
                       standin::DoubleClickListCell(d, kList, 2, 1);
                       EXPECT_EQ(Column(d, 1)[1], L"J-9");
                       standin::TypeIntoDialogItem(d, kValue, L"5.5");
                       standin::ClickDialogItem(d, kView);
                       shownText = Item(d, kRemark).text;
                       return IDCANCEL;
                   }),
              IDCANCEL);
    EXPECT_NE(shownText.find(L"\"编号\":\"J-9\",\r\n\"深度\":\"5.5\""), std::wstring::npos) << shownText;

    // OK pressed with Enter while the editor is still open takes its text.
    EXPECT_EQ(Show(id,
                   [](HWND d) {
                       standin::DoubleClickListCell(d, kList, 1, 1);
                       standin::TypeIntoDialogItem(d, kValue, L"J-8");
                       return IDOK;
                   }),
              IDOK);
    EXPECT_NE(link->remark.Find(L"\"编号\":\"J-8\""), -1);
}

TEST_F(PropertyDialogTest, ARenameReachesTheTextAndOkWithoutAChangeCountsAsCancel)
{
    OdDbObjectId id = AddText(L"井1", L"旧备注");
    EXPECT_EQ(Show(id, [](HWND) { return IDOK; }), IDCANCEL);
    EXPECT_EQ(link->saved, 1);

    EXPECT_EQ(Show(id,
                   [](HWND d) {
                       standin::TypeIntoDialogItem(d, kName, L"井2");
                       standin::TypeIntoDialogItem(d, kRemark, L"新备注");
                       return IDOK;
                   }),
              IDOK);
    EXPECT_EQ(link->name, L"井2");
    EXPECT_EQ(link->remark, L"新备注");
    EXPECT_EQ(link->nameEdited, 1);
    EXPECT_EQ(link->saved, 0);
    EXPECT_EQ(TextOf(id), L"井2");

    // A multi-line text shows the name as its contents; a line keeps its
    // geometry and only the link changes. Cancel changes nothing.
    auto* mtext = new OdDbMText();
    OdDbObjectId m = Add(mtext, L"说明", L"");
    EXPECT_EQ(Show(m,
                   [](HWND d) {
                       standin::TypeIntoDialogItem(d, kName, L"说明二");
                       return IDOK;
                   }),
              IDOK);
    OdDbMText* opened = nullptr;
    ASSERT_EQ(oddbOpenObject(opened, m, OdDb::kForRead), eOk);
    EXPECT_EQ(opened->contents(), L"说明二");
    opened->close();
    OdDbObjectId line = Add(new OdDbLine(OdGePoint3d(0, 0, 0), OdGePoint3d(1, 1, 0)), L"线", L"");
    EXPECT_EQ(Show(line,
                   [](HWND d) {
                       standin::TypeIntoDialogItem(d, kName, L"线二");
                       return IDCANCEL;
                   }),
              IDCANCEL);
    EXPECT_EQ(link->name, L"线");
    EXPECT_EQ(Show(OdDbObjectId(), [](HWND) { return IDOK; }), IDCANCEL);
}

}  // namespace
