// Window objects: every window of the program is a Control that owns one Win32 window,
// made lazily, and every message of that window reaches the object through one window
// function. ANSI entry points only.
//
// Teardown order, followed by every path that ends a window object:
//   1. stop dispatch: the object's RefCount goes negative, so no attached handler or event
//      of it runs any more; "SELF_" is removed in WM_NCDESTROY;
//   2. unsubclass: inner windows subclassed by the layer get their own procedure back and
//      lose "PREV_PROC";
//   3. destroy: the window is destroyed (unless Windows already does it), then the object.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include <commctrl.h>
// <windows.h> maps CreateWindow to CreateWindowA/W with a macro, which would rename the
// layer's own virtual operation of that name.
#undef CreateWindow

#include "ui/MessagePath.h"
#include "ui/Object.h"

// The window property that names a window's object.
constexpr const char* SelfProp = "SELF_";

// Private message numbers of the layer, clear of what the system controls use.
constexpr UINT MsgRelease = 0xB003;           // free the control object (after WM_NCDESTROY)
constexpr UINT MsgReflectedCommand = 0xB005;  // WM_COMMAND handed to the child it is about
constexpr UINT MsgFollowParentSize = 0xB00D;  // a form asks its children to follow its size
constexpr UINT ReflectedColorOffset = 0xBC00; // WM_CTLCOLOR* + this, handed to the child
constexpr WORD CodeDeferredSelChange = 15;    // a combo box's selection change, posted to itself

// A window's style before its kind changes it: a visible overlapped window that clips its
// siblings and children.
constexpr uint32_t DefaultStyle =
    WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_OVERLAPPEDWINDOW;
static_assert(DefaultStyle == 0x16CF0000);
constexpr uint32_t DefaultExStyle = WS_EX_CONTROLPARENT;
// The start of every child kind's style: a visible child window.
constexpr uint32_t VisibleChild = WS_CHILD | WS_VISIBLE;
// The same, clipping its siblings and children.
constexpr uint32_t ClippingChild = VisibleChild | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
static_assert(ClippingChild == 0x56000000);

// The 3D look trades a plain border for the sunken client edge. A caption holds the border
// bit too (WS_CAPTION is WS_BORDER | WS_DLGFRAME) and is never split, so a window with a
// title bar keeps it: its 3D look is the client edge alone.
constexpr uint32_t WithoutPlainBorder(uint32_t style) {
    return (style & WS_CAPTION) == WS_CAPTION ? style : style & ~static_cast<uint32_t>(WS_BORDER);
}
// A system class's style without its device-context and global bits: the layer's class is
// registered by this program and gets no shared device context.
constexpr uint32_t ClassStyleMask =
    ~static_cast<uint32_t>(CS_OWNDC | CS_CLASSDC | CS_PARENTDC | CS_GLOBALCLASS);
static_assert(ClassStyleMask == 0xFFFFBF1F);

// A colour: an RGB value when not negative, otherwise a system colour index in the low byte.
COLORREF ColorToRGB(int32_t color);
// The colour that names system colour index (COLOR_WINDOW, ...): the top bit marks it.
constexpr int32_t SystemColor(int index) {
    return static_cast<int32_t>(0x80000000u | static_cast<uint32_t>(index));
}
constexpr int32_t ColorWindow = SystemColor(COLOR_WINDOW);
constexpr int32_t ColorWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr int32_t ColorBtnFace = SystemColor(COLOR_BTNFACE);
constexpr int32_t ColorBtnShadow = SystemColor(COLOR_BTNSHADOW);
static_assert(ColorWindow == static_cast<int32_t>(0x80000005) &&
              ColorWindowText == static_cast<int32_t>(0x80000008) &&
              ColorBtnFace == static_cast<int32_t>(0x8000000F) &&
              ColorBtnShadow == static_cast<int32_t>(0x80000010));

// Whether a WM_SYSCOMMAND's wParam is this command; its low four bits are the system's own.
constexpr bool IsSystemCommand(WPARAM wParam, WPARAM command) {
    return (wParam & ~static_cast<WPARAM>(0xF)) == command;
}

// The shift state an OnChar, OnKeyDown or OnKeyUp event receives.
constexpr uint32_t ShiftDown = 1u << 2;
constexpr uint32_t CtrlDown = 1u << 3;
constexpr uint32_t AltDown = 1u << 5;

// The notification codes of a kind's commands and the messages of its item operations
// (0 = the kind has none). Codes are matched in the order click, enter, leave, change,
// selection change; the first equal one decides.
struct Actions {
    WORD Click = 0;
    WORD Enter = 0;
    WORD Leave = 0;
    WORD Change = 0;
    WORD SelChange = 0;
    UINT Reset = 0; // clears the items; without it clearing empties the text
    UINT Count = 0;
    UINT ItemLength = 0;
    UINT ItemText = 0;
    UINT Delete = 0;
    UINT Insert = 0;
    UINT Add = 0;
    UINT GetCurrent = 0;
    UINT SetCurrent = 0;
};

struct ClientInsets {
    int32_t top = 0, bottom = 0, left = 0, right = 0;
};

struct Control : BaseObject {
    HWND Handle = nullptr;
    uint32_t ClassStyle = CS_OWNDC;
    uint32_t Style = DefaultStyle;
    uint32_t ExStyle = DefaultExStyle;
    HCURSOR Cursor = nullptr;
    HICON Icon = nullptr;     // 0 = the applet's; INVALID_ICON = none
    bool IconShared = false;  // the icon came from a resource and is never destroyed here
    std::string Caption;      // the window text as last set
    bool KeepCaption = false; // text reads return Caption instead of asking the window
    uint8_t SizeType = 0;     // low byte of the last WM_SIZE wParam
    int32_t ShowStateToRestore = 0;
    WNDPROC DefaultProc = nullptr; // the system class's own procedure; null = DefWindowProcA
    bool WindowGone = false;       // Windows already destroys the window
    Control* Parent = nullptr;
    bool Enabled = true;
    bool Visible = true;
    bool TabStop = false;
    uint8_t TextAlign = 0;
    uint8_t VerticalAlign = 0;
    std::vector<Control*> Children; // in creation order
    void (*AfterHandler)(Control* ctl, Message& m, LRESULT& result) = nullptr;
    HBRUSH BrushHandle = nullptr;
    COLORREF BrushRGB = 0;
    bool Destroying = false; // the window part is released or being released
    uint32_t Id = 0;         // command id of a child control
    HMENU Menu = nullptr;    // a form's menu bar
    BaseObject* MenuObject = nullptr;
    bool IsApplet = false;
    bool IsForm = false;
    bool IsControl = false;
    uint8_t PositionSet = 0; // bit 0: left was set; bit 1: top was set
    std::vector<AttachedHandler> Handlers;
    Event<void(Control* sender)> OnLeave;
    MessageHandler HandlerDispatch = nullptr;
    MessageHandler KeyHandler = nullptr;
    void (*ClickAction)(Control* ctl) = nullptr; // the kind's own step before OnClick
    std::string SystemClassName;                 // "BUTTON", "EDIT", ... or "Form", "App"
    bool OwnsClassName = false; // SystemClassName is the full registered class name
    bool ChildCtl3D = true;
    bool Ctl3D = true;
    int32_t TextColor = ColorWindowText;
    BaseObject* Font = nullptr; // the control's font tool, owned
    int32_t Color = ColorBtnFace;
    int32_t Margin = 2;
    RECT Bounds{}; // in parent client coordinates
    ClientInsets ClientMargins;
    bool Transparent = false;
    Event<bool(Message& m, LRESULT& result)> OnMessage;
    Event<void(Control* sender)> OnClick;
    bool RightClick = false;
    Control* CurrentControl = nullptr; // forms, applet: the control that has or gets the focus
    bool VisibilitySet = false;
    bool ShowOnRun = false; // made hidden on demand; shown when the run loop makes the windows
    uint32_t RadioFirstId = 0;
    uint32_t RadioLastId = 0;
    int32_t IndexBeforeDrop = 0; // combo boxes: selection when the list opened
    int32_t FocusGuard = 0;      // nested focus moves made by the layer; clicks ignored while > 0
    int32_t StoredIndex = 0;
    // Combo boxes: the list is open; the list closed.
    bool DroppedDown = false;
    Event<void(Control* sender)> OnCloseUp;
    Event<void(Control* sender)> OnChange;
    Event<void(Control* sender)> OnEnter;
    ::Actions Actions;
    Event<void(Control*sender, WPARAM&key, uint32_t shift)> OnChar, OnKeyUp, OnKeyDown;
    Control* StatusBar = nullptr;
    bool FixedSize = false; // the outer size is locked at FixedWidth x FixedHeight
    int32_t FixedWidth = 0;
    int32_t FixedHeight = 0;
    uint8_t Align = 0;
    bool AlignExempt = false;
    Event<void(Control* sender)> OnSelChange;
    Control* MainForm = nullptr;
    Event<void(Control* sender, const std::string& names, POINT point)> OnDropFiles;
    Event<void(Control* sender, bool& accept)> OnClose;
    void (*OnCreateWindow)(Control* ctl) = nullptr;
    bool SizeGrip = false;

    void Init() override;
    void Destroy() override;
    // Links the freshly initialised control to its parent.
    virtual void CreateParented(Control* parent);
    // Makes the window (parents first, then the children); false when it cannot be made.
    virtual bool CreateWindow();
    // Processes one message of this control's window.
    virtual LRESULT WndProc(Message& m);

    // CallWindowProcA of the system class, or DefWindowProcA.
    LRESULT DefaultProcessing(const Message& m);
};

// Icon value meaning "no icon at all".
inline HICON const INVALID_ICON = reinterpret_cast<HICON>(static_cast<intptr_t>(-1));

// Global state of the layer.
extern Control* Applet;
extern int AppletRunning;
extern bool AppletTerminated;
extern bool AppletMade;
extern Control* CreatingWindow;
extern uint16_t NextControlId;
extern uint32_t NextMenuId;
constexpr uint16_t FirstControlId = 0x8000;
constexpr uint32_t FirstMenuId = 4096;
// Lays out the children of a control; empty until alignment is first used. A pointer because
// making a window shows the ones waiting for the run loop (SetVisible), which lays out their
// parent, and the layout in turn makes the parent's window: a direct call would tie
// TextVisibility.cpp and Window.cpp to Align.cpp in a circle.
extern void (*AlignProc)(Control* parent);
// The system call that makes every window of the layer (CreateWindowExA). Tests put one in
// its place that fails as the system does without a desktop or a display driver.
using SystemWindowMaker = HWND(WINAPI*)(DWORD exStyle, LPCSTR className, LPCSTR caption,
                                        DWORD style, int x, int y, int width, int height,
                                        HWND parent, HMENU menu, HINSTANCE module, LPVOID param);
extern SystemWindowMaker MakeSystemWindow;

// The common constructor of all kinds; no window is made yet.
Control* SetUpControl(Control* ctl, Control* parent, std::string_view systemClassName,
                      uint32_t style, bool want3D, const Actions* actions);
template <class Kind = Control>
Kind* CreateControl(Control* parent, std::string_view systemClassName, uint32_t style, bool want3D,
                    const Actions* actions) {
    Kind* ctl = NewObject<Kind>();
    SetUpControl(ctl, parent, systemClassName, style, want3D, actions);
    return ctl;
}
// CreateControl for a common-controls class: loads the common controls and forwards the
// parent's WM_NOTIFY about it to its handlers.
template <class Kind = Control>
Kind* CreateCommonControl(Control* parent, std::string_view className, uint32_t style, bool want3D,
                          const Actions* actions);
// Every class of the common controls, as each tab control and status bar asks for.
constexpr DWORD AllCommonControlClasses = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                                          ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS |
                                          ICC_PROGRESS_CLASS | ICC_HOTKEY_CLASS | ICC_ANIMATE_CLASS;
static_assert(AllCommonControlClasses == 0xFF);
void LoadCommonControls(DWORD classes);
void AttachNotifyHandlers(Control* ctl);

// The window, made first when it does not exist yet (hidden until the run loop when its
// visibility was never set); 0 when it cannot be made.
HWND WindowHandle(Control* ctl);
LRESULT SendToControl(Control* ctl, UINT msg, WPARAM wParam, LPARAM lParam);
// The object of a window of the layer, from its "SELF_" property.
Control* ControlOfWindow(HWND hwnd);
// The applet at the top of the control's parent chain, or the running one.
Control* AppletOf(Control* ctl);
// The nearest form (or the applet) above the control, or null.
Control* ParentForm(Control* ctl);
bool IsMainForm(const Control* ctl);

// Stores the text; the window shows it when it exists.
void SetText(Control* ctl, const std::string& text);
std::string GetText(Control* ctl);
// Stores the visibility (explicitly set from now on) and applies it to the window.
void SetVisible(Control* ctl, bool on);
// Applies a visibility without marking it as explicitly set.
void ApplyVisible(Control* ctl, bool on);

// A control's background brush, shared with the topmost parent of the same colour.
HBRUSH ControlBrush(Control* ctl);

// Stores OnChar and installs the keyboard dispatcher (OnKeyDown, OnKeyUp, OnChar).
void SetOnChar(Control* ctl, Event<void(Control*, WPARAM&, uint32_t)> event);
// Stores OnDropFiles and lets the window accept dropped files while it is assigned. The names
// come separated by carriage returns; a name the ANSI code page cannot hold comes empty.
void SetOnDropFiles(Control* ctl, Event<void(Control*, const std::string&, POINT)> event);
// Subclasses the inner windows of a combo box (its edit field) so that their keys and
// focus reach the combo box object; used as the combo box's OnCreateWindow.
void SubclassInnerWindows(Control* combo);
// Gives the subclassed inner windows of a window their own procedures back.
void UnsubclassInnerWindows(HWND window);

template <class Kind>
Kind* CreateCommonControl(Control* parent, std::string_view className, uint32_t style, bool want3D,
                          const Actions* actions) {
    LoadCommonControls(AllCommonControlClasses);
    Kind* ctl = CreateControl<Kind>(parent, className, style, want3D, actions);
    AttachNotifyHandlers(ctl);
    return ctl;
}
