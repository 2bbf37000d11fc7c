#include "afxmsgbox.h"

#include <deque>

#include "standin_control.h"

namespace {

std::deque<int> g_answers;
std::vector<standin::MessageBoxRecord> g_boxes;
void (*g_modalHook)() = nullptr;

standin::ResetHook g_reset([] {
    g_answers.clear();
    g_boxes.clear();
});

int DefaultAnswer(UINT type)
{
    switch (type & 0xF) {
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDYES;
    default: return IDOK;
    }
}

}  // namespace

int AfxMessageBox(const wchar_t* text, UINT type, UINT)
{
    if (g_modalHook) g_modalHook();
    int answer = DefaultAnswer(type);
    if (!g_answers.empty()) {
        answer = g_answers.front();
        g_answers.pop_front();
    }
    g_boxes.push_back({text ? text : L"", type, answer});
    return answer;
}

namespace standin {
void QueueMessageBoxAnswer(int answer) { g_answers.push_back(answer); }
const std::vector<MessageBoxRecord>& MessageBoxes() { return g_boxes; }
void ClearMessageBoxes() { g_boxes.clear(); }
void SetModalLoopHook(void (*hook)()) { g_modalHook = hook; }
}  // namespace standin
