#include "platform/sim/SimWindowing.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>

namespace sim {
namespace {

using namespace platform;

struct Posted {
    HWnd Window;
    uint32_t Message;
    WParam W;
    LParam L;
};

// The lock guards the tables, never a procedure's call: procedures send messages themselves.
std::recursive_mutex WindowLock;
std::map<std::string, WindowProcedure> Classes;
std::map<HWnd, WindowRecord> Windows;
std::vector<HWnd> Order;
std::deque<Posted> Queue;
std::map<std::string, uint32_t> RegisteredMessages;
HWnd NextWindow = 0x10010;
int QuitCode = 0;
bool QuitPosted = false;

WindowRecord* Find(HWnd window) {
    const auto found = Windows.find(window);
    return found == Windows.end() || found->second.Destroyed ? nullptr : &found->second;
}

// What Windows does with a message the program did not handle, for the messages it relies on.
LParam DefaultProcessing(HWnd window, uint32_t message, WParam w, LParam l) {
    if (message == WM_SYSCOMMAND) return w == SC_CLOSE ? SendMessage(window, WM_CLOSE, 0, 0) : 0;
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    std::lock_guard<std::recursive_mutex> lock(WindowLock);
    WindowRecord* r = Find(window);
    if (!r) return 0;
    switch (message) {
        case WM_SETTEXT: r->Text = reinterpret_cast<const char*>(l); return 1;
        case BM_GETCHECK: return r->Checked ? BST_CHECKED : BST_UNCHECKED;
        case BM_SETCHECK: r->Checked = w == BST_CHECKED; return 0;
        case EM_EXLIMITTEXT: r->TextLimit = static_cast<uint32_t>(l); return 0;
        case EM_GETLIMITTEXT: return r->TextLimit;
        case CB_ADDSTRING:
            r->Items.push_back(reinterpret_cast<const char*>(l));
            return static_cast<LParam>(r->Items.size() - 1);
        case CB_GETCOUNT: return static_cast<LParam>(r->Items.size());
        case CB_GETCURSEL: return r->Selection;
        case CB_SETCURSEL: {
            const bool inList = w < r->Items.size();
            r->Selection = inList ? static_cast<int>(w) : -1;
            return inList ? r->Selection : -1;
        }
        case TBM_GETPOS: return r->Position;
        case TBM_SETPOS: r->Position = std::clamp(static_cast<int>(l), r->RangeMin, r->RangeMax); return 0;
        case TBM_SETRANGEMIN: r->RangeMin = static_cast<int>(l); r->Position = std::max(r->Position, r->RangeMin); return 0;
        case TBM_SETRANGEMAX: r->RangeMax = static_cast<int>(l); r->Position = std::min(r->Position, r->RangeMax); return 0;
        case EM_SETREADONLY:
            r->Style = w ? (r->Style | ES_READONLY) : (r->Style & ~ES_READONLY);
            return 1;
        default: return 0;
    }
}

}  // namespace

std::vector<WindowRecord> WindowRecords() {
    std::lock_guard<std::recursive_mutex> lock(WindowLock);
    std::vector<WindowRecord> all;
    for (const HWnd h : Order) all.push_back(Windows[h]);
    return all;
}

WindowRecord ChildRecord(HWnd parent, uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(WindowLock);
    for (const HWnd h : Order) {
        const WindowRecord& w = Windows[h];
        if (!w.Destroyed && w.Parent == parent && w.Id == id) return w;
    }
    return {};
}

namespace {

bool IsAutoRadio(const WindowRecord& w) { return w.Class == ButtonClass && (w.Style & 0xF) == BS_AUTORADIOBUTTON; }

// An automatic radio button is checked and the others of its group cleared: the group runs, in
// creation order among its siblings, from a control with WS_GROUP to the next one.
void CheckRadio(const WindowRecord& radio) {
    std::vector<HWnd> siblings;
    for (const HWnd h : Order)
        if (!Windows[h].Destroyed && Windows[h].Parent == radio.Parent) siblings.push_back(h);
    const auto at = std::find(siblings.begin(), siblings.end(), radio.Handle);
    auto first = at;
    while (first != siblings.begin() && !(Windows[*first].Style & WS_GROUP)) --first;
    for (auto i = first; i != siblings.end() && (i == first || !(Windows[*i].Style & WS_GROUP)); ++i)
        if (IsAutoRadio(Windows[*i])) Windows[*i].Checked = *i == radio.Handle;
}

// The control's parent and identifier, when it exists and is enabled.
bool LiveControl(HWnd control, HWnd& parent, uint32_t& id) {
    std::lock_guard<std::recursive_mutex> lock(WindowLock);
    const WindowRecord* r = Find(control);
    if (!r || !r->Enabled) return false;
    parent = r->Parent;
    id = r->Id;
    return true;
}

}  // namespace

void ClickButton(HWnd button) {
    HWnd parent = 0;
    uint32_t id = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(WindowLock);
        WindowRecord* r = Find(button);
        if (!r || !r->Enabled) return;
        if ((r->Style & 0xF) == BS_AUTOCHECKBOX) r->Checked = !r->Checked;
        if (IsAutoRadio(*r)) CheckRadio(*r);
        parent = r->Parent;
        id = r->Id;
    }
    SendMessage(parent, WM_COMMAND, (BN_CLICKED << 16) | id, static_cast<LParam>(button));
}

void SelectListItem(HWnd list, int index) {
    HWnd parent = 0;
    uint32_t id = 0;
    if (!LiveControl(list, parent, id)) return;
    SendMessage(list, CB_SETCURSEL, static_cast<WParam>(index), 0);
    SendMessage(parent, WM_COMMAND, (static_cast<WParam>(CBN_SELCHANGE) << 16) | id, static_cast<LParam>(list));
}

void DragSlider(HWnd slider, int position) {
    HWnd parent = 0;
    uint32_t id = 0;
    if (!LiveControl(slider, parent, id)) return;
    SendMessage(slider, TBM_SETPOS, 1, position);
    const WParam thumbTrack = 5;
    SendMessage(parent, WM_HSCROLL, thumbTrack | (static_cast<WParam>(position) << 16), static_cast<LParam>(slider));
}

void ReleaseSlider(HWnd slider) {
    HWnd parent = 0;
    uint32_t id = 0;
    if (LiveControl(slider, parent, id)) SendMessage(parent, WM_HSCROLL, TB_ENDTRACK, static_cast<LParam>(slider));
}

void BroadcastMessage(uint32_t message, WParam w, LParam l) {
    std::vector<HWnd> topLevel;
    {
        std::lock_guard<std::recursive_mutex> lock(WindowLock);
        for (const HWnd h : Order)
            if (!Windows[h].Destroyed && Windows[h].Parent == 0) topLevel.push_back(h);
    }
    for (const HWnd window : topLevel) SendMessage(window, message, w, l);
}

namespace {

// The innermost modal loop's window, 0 outside one.
HWnd ModalWindow = 0;

HWnd TopLevelOf(HWnd window) {
    std::lock_guard<std::recursive_mutex> lock(WindowLock);
    for (const WindowRecord* r = Find(window); r && (r->Style & WS_CHILD) && r->Parent; r = Find(r->Parent))
        window = r->Parent;
    return window;
}

// As the real loops do: an Esc key-down goes to the top-level window of the control it was aimed at,
// and closes the modal loop's window as its close button does.
void Dispatch(const Posted& p) {
    if (p.Message != WM_KEYDOWN || p.W != VK_ESCAPE) {
        SendMessage(p.Window, p.Message, p.W, p.L);
        return;
    }
    const HWnd top = TopLevelOf(p.Window);
    if (top == ModalWindow) SendMessage(top, WM_SYSCOMMAND, SC_CLOSE, 0);
    else SendMessage(top, p.Message, p.W, p.L);
}

}  // namespace

void PressKey(HWnd focus, WParam key) { PostMessage(focus, WM_KEYDOWN, key, 0); }

HWnd EnterModalLoop(HWnd window) {
    std::lock_guard<std::recursive_mutex> lock(WindowLock);
    const HWnd outer = ModalWindow;
    ModalWindow = window;
    return outer;
}

unsigned PumpPostedMessages() {
    unsigned n = 0;
    for (;;) {
        Posted p;
        {
            std::lock_guard<std::recursive_mutex> lock(WindowLock);
            if (Queue.empty() || QuitPosted) return n;
            p = Queue.front();
            Queue.pop_front();
        }
        Dispatch(p);
        ++n;
    }
}

void ResetWindowing() {
    std::lock_guard<std::recursive_mutex> lock(WindowLock);
    Classes.clear();
    Windows.clear();
    Order.clear();
    Queue.clear();
    RegisteredMessages.clear();
    NextWindow = 0x10010;
    QuitCode = 0;
    QuitPosted = false;
    ModalWindow = 0;
}

}  // namespace sim

namespace platform {

bool RegisterWindowClass(const std::string& className, WindowProcedure procedure) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    return sim::Classes.emplace(className, procedure).second;
}

HWnd CreateWindowEx(uint32_t exStyle, const std::string& className, const std::string& text, uint32_t style, int x,
                    int y, int width, int height, HWnd parent, uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    const bool known = sim::Classes.count(className) || className == ButtonClass || className == RichEditClass ||
                       className == EditClass ||
                       className == ComboBoxClass || className == StaticClass || className == TrackbarClass;
    if (!known || (parent && !sim::Find(parent))) return 0;
    sim::WindowRecord w;
    w.Handle = sim::NextWindow;
    sim::NextWindow += 4;
    w.Class = className;
    w.Text = text;
    w.Style = style;
    w.ExStyle = exStyle;
    w.X = x, w.Y = y, w.Width = width, w.Height = height;
    w.Parent = parent;
    w.Id = id;
    w.Visible = (style & WS_VISIBLE) != 0;
    sim::Windows[w.Handle] = w;
    sim::Order.push_back(w.Handle);
    return w.Handle;
}

// As on Windows, the window gets WM_DESTROY while its children still exist, then they go.
bool DestroyWindow(HWnd window) {
    {
        std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
        if (!sim::Find(window)) return false;
    }
    SendMessage(window, WM_DESTROY, 0, 0);
    std::vector<HWnd> children;
    {
        std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
        for (const HWnd h : sim::Order)
            if (sim::Windows[h].Parent == window && !sim::Windows[h].Destroyed) children.push_back(h);
    }
    for (const HWnd child : children) DestroyWindow(child);
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    sim::Windows[window].Destroyed = true;
    sim::Windows[window].Visible = false;
    return true;
}

bool SetWindowText(HWnd window, const std::string& text) {
    return SendMessage(window, WM_SETTEXT, 0, reinterpret_cast<LParam>(text.c_str())) != 0;
}

std::string GetWindowText(HWnd window) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    const sim::WindowRecord* r = sim::Find(window);
    return r ? r->Text : std::string();
}

bool EnableWindow(HWnd window, bool enable) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    sim::WindowRecord* r = sim::Find(window);
    if (!r) return false;
    const bool wasDisabled = !r->Enabled;
    r->Enabled = enable;
    return wasDisabled;
}

bool IsWindowEnabled(HWnd window) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    const sim::WindowRecord* r = sim::Find(window);
    return r && r->Enabled;
}

bool ShowWindow(HWnd window, int command) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    sim::WindowRecord* r = sim::Find(window);
    if (!r) return false;
    const bool wasVisible = r->Visible;
    r->Visible = command != SW_HIDE;
    return wasVisible;
}

bool IsWindowVisible(HWnd window) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    const sim::WindowRecord* r = sim::Find(window);
    return r && r->Visible;
}

uint32_t GetWindowLong(HWnd window, int index) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    const sim::WindowRecord* r = sim::Find(window);
    if (!r) return 0;
    return index == GWL_STYLE ? r->Style : index == GWL_EXSTYLE ? r->ExStyle : 0;
}

uint32_t SetWindowLong(HWnd window, int index, uint32_t value) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    sim::WindowRecord* r = sim::Find(window);
    if (!r || (index != GWL_STYLE && index != GWL_EXSTYLE)) return 0;
    uint32_t& field = index == GWL_STYLE ? r->Style : r->ExStyle;
    const uint32_t before = field;
    field = value;
    return before;
}

HWnd GetDlgItem(HWnd parent, uint32_t id) { return sim::ChildRecord(parent, id).Handle; }

bool MoveWindow(HWnd window, int x, int y, int width, int height) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    sim::WindowRecord* r = sim::Find(window);
    if (!r) return false;
    r->X = x, r->Y = y, r->Width = width, r->Height = height;
    return true;
}

// The simulated windows have no frame: the window is its client area.
bool AdjustWindowRectEx(Rect&, uint32_t, uint32_t) { return true; }

Rect WindowRect(HWnd window) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    const sim::WindowRecord* r = sim::Find(window);
    return r ? Rect{r->X, r->Y, r->X + r->Width, r->Y + r->Height} : Rect{0, 0, 0, 0};
}

LParam SendMessage(HWnd window, uint32_t message, WParam wParam, LParam lParam) {
    WindowProcedure procedure = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
        const sim::WindowRecord* r = sim::Find(window);
        if (!r) return 0;
        const auto found = sim::Classes.find(r->Class);
        if (found != sim::Classes.end()) procedure = found->second;
    }
    LParam result = 0;
    if (procedure && procedure(window, message, wParam, lParam, result)) return result;
    return sim::DefaultProcessing(window, message, wParam, lParam);
}

// Numbered in the order the names are first asked for.
uint32_t RegisterWindowMessage(const std::string& name) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    const uint32_t next = 0xC000 + static_cast<uint32_t>(sim::RegisteredMessages.size());
    return sim::RegisteredMessages.emplace(name, next).first->second;
}

bool ChangeWindowMessageFilterEx(HWnd window, uint32_t message) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    sim::WindowRecord* r = sim::Find(window);
    if (!r) return false;
    r->AllowedMessages.push_back(message);
    return true;
}

bool PostMessage(HWnd window, uint32_t message, WParam wParam, LParam lParam) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    if (!sim::Find(window)) return false;
    sim::Queue.push_back({window, message, wParam, lParam});
    return true;
}

bool SetWindowFont(HWnd window, const std::string& face, int height) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    sim::WindowRecord* r = sim::Find(window);
    if (!r) return false;
    r->FontFace = face;
    r->FontHeight = height;
    return true;
}

bool SetRichEditFont(HWnd window, const std::string& face, int twips) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    sim::WindowRecord* r = sim::Find(window);
    if (!r || r->Class != RichEditClass) return false;
    r->FontFace = face;
    r->RichEditTwips = twips;
    return true;
}

// The simulated loop ends at WM_QUIT, or when nothing is left to dispatch (a test's program has no
// user to wait for); then it returns -1.
int RunMessageLoop() {
    sim::PumpPostedMessages();
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    return sim::QuitPosted ? sim::QuitCode : -1;
}

void PostQuitMessage(int exitCode) {
    std::lock_guard<std::recursive_mutex> lock(sim::WindowLock);
    sim::QuitPosted = true;
    sim::QuitCode = exitCode;
}

}  // namespace platform
