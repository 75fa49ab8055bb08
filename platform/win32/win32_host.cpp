#include "platform/win32/win32_host.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/failure.h"
#include "platform/pictures/pictures.h"
#include "platform/platform.h"
#include "platform/support/hosts/event_dispatch.h"
#include "platform/win32/wide.h"

namespace qano {

static_assert(ProgramHost<Win32Host>);

namespace {

constexpr UINT_PTR kFirstTimerId = 1;

using win32::to_wide;

// One point is 20 twips.
int font_pixels(double points) {
  return static_cast<int>(std::lround(points * 20.0 / kTwipsPerPixel));
}

// An icon from RGBA pixels: a 32-bit colour image with its alpha, and a mask that says the same
// for displays that ignore the alpha.
HICON make_icon(const pictures::Picture& p) {
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof header;
  header.bV5Width = p.width;
  header.bV5Height = -p.height;  // rows top to bottom
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (colour == nullptr) return nullptr;
  auto* out = static_cast<std::uint8_t*>(bits);
  int stride = ((p.width + 15) / 16) * 2;  // mask rows are padded to 16 bits
  std::vector<std::uint8_t> mask(static_cast<std::size_t>(stride * p.height), 0);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const std::uint8_t* in = &p.rgba[static_cast<std::size_t>((y * p.width + x) * 4)];
      std::uint8_t* px = &out[(y * p.width + x) * 4];
      px[0] = in[2];
      px[1] = in[1];
      px[2] = in[0];
      px[3] = in[3];
      if (in[3] == 0) mask[static_cast<std::size_t>(y * stride + x / 8)] |= 0x80 >> (x % 8);
    }
  }
  HBITMAP mono = CreateBitmap(p.width, p.height, 1, 1, mask.data());
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = mono;
  info.hbmColor = colour;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(mono);
  DeleteObject(colour);
  return icon;
}

// Presses OK on a window of this thread when it is a message box (a dialog).
BOOL CALLBACK press_ok_on_box(HWND w, LPARAM) {
  wchar_t name[16] = {};
  GetClassNameW(w, name, 16);
  if (std::wstring(name) == L"#32770") PostMessageW(w, WM_COMMAND, IDOK, 0);
  return TRUE;
}

Win32Host::Impl* g_host = nullptr;  // the window procedure's way back to its host

}  // namespace

struct Win32Host::Impl {
  WindowLayout layout;
  DriveListContents drives;
  // The run ends with the timers stopped, an open message box pressed, the window hidden when
  // it was unloaded, and the loop woken.
  EventDispatch dispatch{[this] { end_run(); }};
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HWND window = nullptr;
  HWND last_focus = nullptr;  // given back when the window is activated again
  std::map<std::pair<std::string, int>, HWND> controls;
  std::map<int, std::size_t> positions;      // control id -> position in the layout
  std::map<HWND, COLORREF> lamp_colours;     // a lamp's fill
  std::map<HWND, HBRUSH> label_backgrounds;  // a label that lies on a lamp takes its colour
  std::map<std::tuple<std::string, int, bool>, HFONT> fonts;
  std::vector<HBRUSH> brushes;
  std::vector<std::pair<UINT_PTR, std::string>> timers;
  HICON icon = nullptr;
  HICON door = nullptr;
  int open_boxes = 0;

  ~Impl() {
    stop_timers();
    dispatch.detach();
    if (window != nullptr) DestroyWindow(window);
    for (auto& [key, font] : fonts) DeleteObject(font);
    for (HBRUSH b : brushes) DeleteObject(b);
    if (icon != nullptr) DestroyIcon(icon);
    if (door != nullptr) DestroyIcon(door);
  }

  void end_run() {
    stop_timers();
    close_message_boxes();
    if (window == nullptr) return;
    if (dispatch.unloaded()) ShowWindow(window, SW_HIDE);
    PostMessageW(window, WM_NULL, 0, 0);
  }

  void stop_timers() {
    if (window == nullptr) return;
    for (auto& [id, name] : timers) KillTimer(window, id);
    timers.clear();
  }

  // Presses OK on every message box of this thread that waits.
  void close_message_boxes() const {
    if (open_boxes == 0) return;
    EnumThreadWindows(GetCurrentThreadId(), &press_ok_on_box, 0);
  }

  void rethrow_failure() {
    if (dispatch.failed() && window != nullptr) ShowWindow(window, SW_HIDE);
    dispatch.rethrow_failure();
  }

  HFONT font(const std::optional<FontStyle>& style) {
    FontStyle f = style.value_or(FontStyle{"MS Sans Serif", 8.25, false});
    int size = font_pixels(f.points);
    auto key = std::make_tuple(f.name, size, f.bold);
    auto it = fonts.find(key);
    if (it != fonts.end()) return it->second;
    HFONT h = CreateFontW(-size, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_SWISS, to_wide(f.name).c_str());
    fonts[key] = h;
    return h;
  }

  HBRUSH brush(COLORREF colour) {
    brushes.push_back(CreateSolidBrush(colour));
    return brushes.back();
  }

  std::string name_of(int id) const {
    auto it = positions.find(id);
    return it == positions.end() ? std::string() : layout.controls[it->second].name;
  }

  // The push button whose id Enter presses: the focused control when it is a push button.
  int default_button() const {
    HWND focus = GetFocus();
    if (focus == nullptr || GetParent(focus) != window) return 0;
    int id = GetDlgCtrlID(focus);
    auto it = positions.find(id);
    if (it == positions.end()) return 0;
    return layout.controls[it->second].kind == ControlKind::command_button ? id : 0;
  }

  void draw_button(const DRAWITEMSTRUCT& d);
  void draw_lamp(const DRAWITEMSTRUCT& d);
  HWND add_control(std::size_t position, int ox, int oy);
  void build();

  LRESULT handle(HWND w, UINT message, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK window_proc(HWND w, UINT message, WPARAM wp, LPARAM lp);
};

void Win32Host::Impl::draw_button(const DRAWITEMSTRUCT& d) {
  RECT r = d.rcItem;
  bool pressed = (d.itemState & ODS_SELECTED) != 0;
  bool focused = (d.itemState & ODS_FOCUS) != 0;
  HDC dc = d.hDC;
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  if (focused) {
    // The button that Enter presses has a dark rim, as a dialog's default button.
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&r, -1, -1);
  }
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));

  const ControlLayout& c = layout.controls[positions.at(static_cast<int>(d.CtlID))];
  std::wstring caption = to_wide(c.caption);
  HGDIOBJ old_font = SelectObject(dc, font(c.font));
  SIZE text{};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
  constexpr int kPicture = 32, kGap = 8;
  int width = kPicture + kGap + text.cx;
  int shift = pressed ? 1 : 0;
  int x = r.left + (r.right - r.left - width) / 2 + shift;
  int mid = (r.top + r.bottom) / 2 + shift;
  DrawIconEx(dc, x, mid - kPicture / 2, door, kPicture, kPicture, 0, nullptr, DI_NORMAL);
  RECT tr{x + kPicture + kGap, mid - text.cy / 2, x + width, mid + text.cy / 2 + 1};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &tr,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  SelectObject(dc, old_font);
  if (focused) {
    RECT fr = r;
    InflateRect(&fr, -4, -4);
    DrawFocusRect(dc, &fr);
  }
}

void Win32Host::Impl::draw_lamp(const DRAWITEMSTRUCT& d) {
  HDC dc = d.hDC;
  RECT r = d.rcItem;
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  HBRUSH fill = CreateSolidBrush(lamp_colours[d.hwndItem]);
  HPEN rim = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HGDIOBJ old_brush = SelectObject(dc, fill);
  HGDIOBJ old_pen = SelectObject(dc, rim);
  // A round light in the middle of its rectangle, as the FLTK host draws it: the rectangle's
  // shorter side across, whatever the row's width.
  int across = std::min(r.right - r.left, r.bottom - r.top);
  int left = r.left + (r.right - r.left - across) / 2,
      top = r.top + (r.bottom - r.top - across) / 2;
  Ellipse(dc, left, top, left + across, top + across);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  DeleteObject(fill);
  DeleteObject(rim);
}

HWND Win32Host::Impl::add_control(std::size_t position, int ox, int oy) {
  const ControlLayout& c = layout.controls[position];
  if (!c.rect) return nullptr;
  int x = ox + pixels(c.rect->left), y = oy + pixels(c.rect->top);
  int w = pixels(c.rect->width), h = pixels(c.rect->height);
  int id = win32_control_id(position);
  const wchar_t* kind = nullptr;
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD ex_style = 0;
  std::wstring text = to_wide(c.caption);
  switch (c.kind) {
    case ControlKind::command_button:
      kind = L"BUTTON";
      style |= BS_OWNERDRAW | WS_TABSTOP;
      break;
    case ControlKind::frame:
      kind = L"BUTTON";
      style |= BS_GROUPBOX;
      break;
    case ControlKind::text_box:
      kind = L"EDIT";
      style |= ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP;
      ex_style |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::label:
      // The board's row numbers sit centred in their lamp.
      kind = L"STATIC";
      style |= SS_NOPREFIX | (c.caption.size() <= 2 ? SS_CENTER : SS_LEFT);
      break;
    case ControlKind::shape:
      kind = L"STATIC";
      style |= SS_OWNERDRAW;
      text.clear();
      break;
    case ControlKind::drive_list:
      kind = L"COMBOBOX";
      style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
      h += 8 * h;  // the height of the open list below the field
      text.clear();
      break;
    case ControlKind::timer:
    case ControlKind::data:  // not shown: they are bound to nothing and nobody works them
    case ControlKind::ftp_client:
    case ControlKind::menu:
      return nullptr;
  }
  if (c.kind == ControlKind::label && !text.empty()) {
    // Never narrower or lower than its caption in the font that Windows really chose for it:
    // the fonts that stand in for "MS Sans Serif" differ from one workstation to another.
    HDC dc = GetDC(window);
    HGDIOBJ old_font = SelectObject(dc, font(c.font));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old_font);
    ReleaseDC(window, dc);
    if (extent.cx + 1 > w) {
      // A centred caption stays centred.
      if ((style & SS_CENTER) != 0) x -= (extent.cx + 1 - w) / 2;
      w = extent.cx + 1;
    }
    h = std::max(h, static_cast<int>(extent.cy));
  }
  HWND hwnd = CreateWindowExW(ex_style, kind, text.c_str(), style, x, y, w, h, window,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (hwnd == nullptr) qano::fail(51, "Cannot create the control " + c.name);
  positions[id] = position;
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font(c.font)), FALSE);
  if (c.kind == ControlKind::shape) {
    Rgb fill = c.fill.value_or(Rgb{255, 255, 255});
    lamp_colours[hwnd] = RGB(fill.red, fill.green, fill.blue);
  }
  if (c.kind == ControlKind::drive_list) {
    std::vector<std::string> entries = drives.drives;
    if (!drives.current.empty() &&
        std::find(entries.begin(), entries.end(), drives.current) == entries.end()) {
      entries.push_back(drives.current);
      std::sort(entries.begin(), entries.end());
    }
    for (const std::string& d : entries) {
      LRESULT i = SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(to_wide(d).c_str()));
      if (d == drives.current) SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    }
  }
  return hwnd;
}

void Win32Host::Impl::build() {
  RECT frame{0, 0, pixels(layout.client_width), pixels(layout.client_height)};
  // No WS_CLIPCHILDREN: the window paints its background inside the frame, which paints only
  // its edge and caption.
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  int w = frame.right - frame.left, h = frame.bottom - frame.top;
  int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - w) / 2);
  int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - h) / 2);
  window = CreateWindowExW(0, kWin32WindowClass, to_wide(layout.title).c_str(), style, x, y, w, h,
                           nullptr, nullptr, instance, nullptr);
  if (window == nullptr) qano::fail(51, "Cannot create the window");
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

  // Controls are made in the layout's order, which is also their tab order; a frame's controls
  // are placed inside its rectangle.
  std::map<std::string, std::pair<int, int>> origins;
  for (const ControlLayout& c : layout.controls) {
    if (c.kind == ControlKind::frame && c.rect) {
      origins[c.name] = {pixels(c.rect->left), pixels(c.rect->top)};
    }
  }
  for (std::size_t i = 0; i < layout.controls.size(); ++i) {
    const ControlLayout& c = layout.controls[i];
    auto origin = origins.find(c.container);
    auto [ox, oy] = origin == origins.end() ? std::make_pair(0, 0) : origin->second;
    if (HWND hwnd = add_control(i, ox, oy)) controls[{c.name, c.index}] = hwnd;
  }

  // A label that lies inside a lamp shows the lamp's colour around its text.
  for (const ControlLayout& label : layout.controls) {
    if (label.kind != ControlKind::label || !label.rect) continue;
    for (const ControlLayout& lamp : layout.controls) {
      if (lamp.kind != ControlKind::shape || !lamp.rect || lamp.container != label.container) {
        continue;
      }
      const TwipsRect& a = *label.rect;
      const TwipsRect& b = *lamp.rect;
      if (a.left >= b.left && a.top >= b.top && a.left + a.width <= b.left + b.width &&
          a.top + a.height <= b.top + b.height) {
        Rgb fill = lamp.fill.value_or(Rgb{255, 255, 255});
        label_backgrounds[controls.at({label.name, label.index})] =
            brush(RGB(fill.red, fill.green, fill.blue));
      }
    }
  }

  UINT_PTR id = kFirstTimerId;
  for (const ControlLayout& c : layout.controls) {
    if (c.kind == ControlKind::timer && c.handled && c.enabled && c.interval_ms > 0) {
      SetTimer(window, id, static_cast<UINT>(c.interval_ms), nullptr);
      timers.emplace_back(id++, c.name);
    }
  }
}

// No exception may leave the window procedure: user32 lies between it and the message loop, and
// in the 32-bit build an exception cannot pass through it (it would end in std::terminate). What
// escapes a message's handling outside an event handler (drawing, a copy that runs out of memory)
// ends the run like a failure of an event handler.
LRESULT CALLBACK Win32Host::Impl::window_proc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  Impl* self = g_host;
  if (self == nullptr || self->window != w) return DefWindowProcW(w, message, wp, lp);
  try {
    return self->handle(w, message, wp, lp);
  } catch (...) {
    self->dispatch.fail(std::current_exception());
    return message == WM_DRAWITEM ? TRUE : 0;
  }
}

LRESULT Win32Host::Impl::handle(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  Impl* self = this;
  switch (message) {
    case WM_TIMER: {
      std::string timer;
      for (const auto& [id, name] : self->timers) {
        if (id == wp) timer = name;
      }
      if (!timer.empty()) self->dispatch.tick(timer);
      return 0;
    }
    case WM_COMMAND: {
      // Clicks of a push button whose click the program handles; Enter and Esc from the dialog
      // keys (IDOK, IDCANCEL) reach no control and do nothing.
      if (HIWORD(wp) != BN_CLICKED || lp == 0) return 0;
      int id = LOWORD(wp);
      auto it = self->positions.find(id);
      if (it == self->positions.end()) return 0;
      const ControlLayout& c = self->layout.controls[it->second];
      if (c.kind == ControlKind::command_button && c.handled) {
        std::string name = c.name;
        self->dispatch.click(name);
      }
      return 0;
    }
    case DM_GETDEFID: {
      int id = self->default_button();
      return id == 0 ? 0 : MAKELRESULT(id, DC_HASDEFID);
    }
    case WM_DRAWITEM: {
      const auto& d = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (d.CtlType == ODT_BUTTON) self->draw_button(d);
      if (d.CtlType == ODT_STATIC) self->draw_lamp(d);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
      auto it = self->label_backgrounds.find(reinterpret_cast<HWND>(lp));
      if (it == self->label_backgrounds.end()) break;
      LOGBRUSH lb{};
      GetObjectW(it->second, sizeof lb, &lb);
      SetBkColor(reinterpret_cast<HDC>(wp), lb.lbColor);
      return reinterpret_cast<LRESULT>(it->second);
    }
    case WM_ACTIVATE:
      // The focus comes back to the control that had it when the window is active again.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && GetParent(focus) == w) self->last_focus = focus;
      } else if (self->last_focus != nullptr && IsWindow(self->last_focus)) {
        SetFocus(self->last_focus);
        return 0;
      }
      break;
    case WM_CLOSE:
      self->dispatch.close();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wp) self->dispatch.close();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(w, message, wp, lp);
}

Win32Host::Win32Host(const WindowLayout& layout) : impl_(std::make_unique<Impl>()) {
  impl_->layout = layout;
  impl_->icon = make_icon(pictures::window_icon());
  impl_->door = make_icon(pictures::exit_door(32));
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Impl::window_proc;
  wc.hInstance = impl_->instance;
  wc.hIcon = impl_->icon;
  wc.hIconSm = impl_->icon;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWin32WindowClass;
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    fail(51, "Cannot register the window class");
  }
  g_host = impl_.get();
}

Win32Host::~Win32Host() {
  HINSTANCE instance = impl_->instance;
  impl_.reset();
  g_host = nullptr;
  // The class names this host's icon: a later host registers it afresh.
  UnregisterClassW(kWin32WindowClass, instance);
}

void Win32Host::create(WindowEvents& events, DriveListContents drives) {
  impl_->dispatch.attach(events);
  impl_->drives = std::move(drives);
  impl_->build();
}

void Win32Host::show() {
  Impl& s = *impl_;
  if (!s.dispatch.running() || s.window == nullptr) return;
  ShowWindow(s.window, SW_SHOWNORMAL);
  UpdateWindow(s.window);
  SetForegroundWindow(s.window);
  for (const ControlLayout& c : s.layout.controls) {
    if (c.tab_index == 0) {
      auto it = s.controls.find({c.name, c.index});
      if (it != s.controls.end()) {
        SetFocus(it->second);
        s.last_focus = it->second;
      }
    }
  }
}

void Win32Host::run() {
  Impl& s = *impl_;
  MSG msg;
  while (s.dispatch.running() && s.window != nullptr) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (!IsDialogMessageW(s.window, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  s.rethrow_failure();
}

void Win32Host::unload() {
  impl_->dispatch.unload();
}

bool Win32Host::unloaded() const {
  return impl_->dispatch.unloaded();
}

void Win32Host::message_box(const std::string& text) {
  Impl& s = *impl_;
  ++s.open_boxes;
  MessageBoxW(s.window, to_wide(text).c_str(), to_wide(kProgramName).c_str(),
              MB_OK | MB_SETFOREGROUND);
  --s.open_boxes;
  s.rethrow_failure();
}

void Win32Host::failure_box(const std::string& text) {
  Impl& s = *impl_;
  s.stop_timers();
  if (s.window != nullptr) ShowWindow(s.window, SW_HIDE);
  ++s.open_boxes;
  MessageBoxW(nullptr, to_wide(text).c_str(), to_wide(kProgramName).c_str(),
              MB_OK | MB_SETFOREGROUND | MB_TASKMODAL);
  --s.open_boxes;
}

HWND Win32Host::window() const {
  return impl_->window;
}

HWND Win32Host::control(const std::string& name, int index) const {
  auto it = impl_->controls.find({name, index});
  return it == impl_->controls.end() ? nullptr : it->second;
}

}  // namespace qano
