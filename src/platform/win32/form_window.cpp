#include "platform/win32/form_window.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>

#include "base/sjis.h"
#include "platform/win32/message_pump.h"
#include "platform/win32/ui_font.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace koru::platform::win32 {
namespace {

constexpr wchar_t kFormClass[] = L"KoruForm";
constexpr UINT_PTR kChangeTimer = 1;
constexpr DWORD kLabelIntervalMs = 30;
constexpr int kRichEditLimit = 5242880;
constexpr int kDirectoryItemHeight = 16;
constexpr int kDirectoryIndent = 10;
// A combo box is created with room for its drop-down list below the field.
constexpr int kDropDownHeight = 200;

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

// The rich edit lives in msftedit.dll, taken from the system folder only (the program
// runs elevated, often from a download folder). Loaded once for the process.
bool LoadRichEdit() {
  static UniqueModule module(
      ::LoadLibraryExW(L"msftedit.dll", /*file=*/nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  return static_cast<bool>(module);
}

void RegisterFormClass(WNDPROC window_proc) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.style = CS_DBLCLKS;
  window_class.hInstance = Instance();
  window_class.lpszClassName = kFormClass;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.hIcon = static_cast<HICON>(
      ::LoadImageW(Instance(), L"MAINICON", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  window_class.hIconSm = static_cast<HICON>(
      ::LoadImageW(Instance(), L"MAINICON", IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                   ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  window_class.lpfnWndProc = window_proc;
  ::RegisterClassExW(&window_class);
  registered = true;
}

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// The folder without a trailing backslash unless it is a drive root ("C:\").
std::string NormalisedFolder(std::string folder) {
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  if (folder.size() == 2 && folder[1] == ':') folder += '\\';
  return folder;
}

// A name as the program can hold it: the long name when code page 932 holds it, else
// the short one.
std::string NameOf(const WIN32_FIND_DATAW& data) {
  const std::string name = Narrow(data.cFileName);
  if (Wide(name) == data.cFileName || data.cAlternateFileName[0] == L'\0') return name;
  return Narrow(data.cAlternateFileName);
}

std::vector<std::string> SubFolders(const std::string& folder) {
  std::vector<std::string> names;
  std::wstring pattern = Wide(folder);
  if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
  if (!find) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
    if (::lstrcmpW(data.cFileName, L".") == 0 || ::lstrcmpW(data.cFileName, L"..") == 0) continue;
    names.push_back(NameOf(data));
  } while (::FindNextFileW(find.get(), &data));
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, Wide(a).c_str(), -1, Wide(b).c_str(),
                            -1) == CSTR_LESS_THAN;
  });
  return names;
}

}  // namespace

FormWindow::FormWindow(FormEvents& events, UserInterface& ui, std::span<const ControlSpec> layout,
                       const FormOptions& options)
    : events_(events),
      ui_(ui),
      options_(options),
      font_(CreateUiFont()),
      black_brush_(::CreateSolidBrush(RGB(0, 0, 0))) {
  RegisterFormClass(&FormWindow::WindowProc);
  RECT frame = {0, 0, options.client_width, options.client_height};
  ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  ::CreateWindowExW(kExStyle, kFormClass, Wide(options.caption).c_str(), kStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                    options.owner, /*menu=*/nullptr, Instance(), this);
  window_.reset(hwnd_);
  if (!window_) throw std::runtime_error("CreateWindowEx failed");
  ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  for (const ControlSpec& spec : layout) CreateControl(spec);
}

FormWindow::~FormWindow() {
  if (hwnd_ != nullptr) ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  window_.reset();
}

LRESULT CALLBACK FormWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  FormWindow* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<FormWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (self == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
  // Nothing may be thrown through the system's frames: the last line of defence.
  try {
    return self->HandleMessage(message, wparam, lparam);
  } catch (const std::exception& error) {
    self->ui_.ShowHandlerError(error.what());
  } catch (...) {
    self->ui_.ShowHandlerError("unexpected error");
  }
  return 0;
}

template <typename Handler>
void FormWindow::Guard(Handler handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ui_.ShowHandlerError(error.what());
  }
}

LRESULT FormWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_CLOSE:
      Guard([&] { events_.OnCloseBox(); });
      return 0;
    case WM_TIMER:
      if (wparam == kChangeTimer) {
        ShowPendingChanges();
        return 0;
      }
      break;
    case DM_GETDEFID:
      if (default_id_ != 0) return MAKELRESULT(default_id_, DC_HASDEFID);
      break;
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        last_focus_ = ::GetFocus();
      } else if (last_focus_ != nullptr && ::IsWindow(last_focus_)) {
        ::SetFocus(last_focus_);
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      if (OnPaintBackground) return 1;  // WM_PAINT covers everything
      break;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CTLCOLORSTATIC:
      for (auto& [id, control] : controls_) {
        if (control.window == reinterpret_cast<HWND>(lparam) &&
            control.spec.kind == ControlKind::kRightLabel) {
          const HDC dc = reinterpret_cast<HDC>(wparam);
          ::SetTextColor(dc, RGB(255, 255, 255));
          ::SetBkColor(dc, RGB(0, 0, 0));
          return reinterpret_cast<LRESULT>(black_brush_.get());
        }
      }
      break;
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      item->itemHeight = kDirectoryItemHeight;
      return TRUE;
    }
    case WM_DRAWITEM:
      return DrawDirectoryItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
  }
  return ::DefWindowProcW(hwnd_, message, wparam, lparam);
}

void FormWindow::CreateControl(const ControlSpec& spec) {
  const wchar_t* window_class = L"BUTTON";
  DWORD style = WS_CHILD;
  DWORD ex_style = 0;
  int height = spec.rect.height;
  switch (spec.kind) {
    case ControlKind::kButton:
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case ControlKind::kDefaultButton:
      style |= BS_DEFPUSHBUTTON | WS_TABSTOP;
      default_id_ = spec.id;
      break;
    case ControlKind::kCheckBox:
      style |= BS_AUTOCHECKBOX | WS_TABSTOP;
      break;
    case ControlKind::kRadioButton:
      style |= BS_AUTORADIOBUTTON | WS_TABSTOP;
      break;
    case ControlKind::kLabel:
      window_class = L"STATIC";
      style |= SS_LEFTNOWORDWRAP;
      break;
    case ControlKind::kRightLabel:
      window_class = L"STATIC";
      style |= SS_RIGHT;
      break;
    case ControlKind::kEdit:
      window_class = L"EDIT";
      style |= ES_AUTOHSCROLL | WS_TABSTOP;
      ex_style = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::kRichEdit:
      window_class = LoadRichEdit() ? MSFTEDIT_CLASS : L"EDIT";
      style |= ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL | WS_TABSTOP;
      ex_style = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::kDirectoryList:
      window_class = L"LISTBOX";
      style |= LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT |
               WS_VSCROLL | WS_TABSTOP;
      ex_style = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::kDriveCombo:
      window_class = L"COMBOBOX";
      style |= CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP;
      height += kDropDownHeight;
      break;
    case ControlKind::kProgressBar:
      window_class = PROGRESS_CLASSW;
      break;
    case ControlKind::kSeparator:
      window_class = L"STATIC";
      style |= SS_ETCHEDHORZ;
      break;
  }
  // Every control but the second and later radio buttons of a run starts a group, so
  // arrow keys move between the radio buttons of one group only.
  const bool continues_radio_group =
      spec.kind == ControlKind::kRadioButton && !order_.empty() &&
      controls_.at(order_.back()).spec.kind == ControlKind::kRadioButton;
  if (!continues_radio_group) style |= WS_GROUP;

  Control control;
  control.spec = spec;
  control.window = ::CreateWindowExW(ex_style, window_class, Wide(spec.text).c_str(), style,
                                     spec.rect.left, spec.rect.top, spec.rect.width, height, hwnd_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)),
                                     Instance(), /*param=*/nullptr);
  ::SendMessageW(control.window, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  if (spec.kind == ControlKind::kRichEdit) {
    ::SendMessageW(control.window, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
    ::SendMessageW(control.window, EM_EXLIMITTEXT, 0, kRichEditLimit);
  }
  if (spec.kind == ControlKind::kDriveCombo) {
    for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
      if (controls_.at(*it).spec.kind == ControlKind::kDirectoryList) {
        control.bound_list = *it;
        break;
      }
    }
  }
  auto [it, inserted] = controls_.emplace(spec.id, std::move(control));
  order_.push_back(spec.id);
  if (spec.kind == ControlKind::kDriveCombo) FillDriveCombo(it->second);
  UpdateVisibility(it->second);
}

void FormWindow::OnCommand(int id, int code) {
  if (id == IDCANCEL) {
    // Esc clicks the abort button, when it can be clicked.
    if (options_.cancel_id != 0 && Enabled(options_.cancel_id) &&
        ::IsWindowVisible(At(options_.cancel_id).window)) {
      Guard([&] { events_.OnClick(options_.cancel_id); });
    }
    return;
  }
  auto it = controls_.find(id);
  if (it == controls_.end() || updating_) return;
  Control& control = it->second;
  switch (control.spec.kind) {
    case ControlKind::kButton:
    case ControlKind::kDefaultButton:
    case ControlKind::kCheckBox:
    case ControlKind::kRadioButton:
      // Enter reaches a default button even when it is disabled or on a hidden page.
      if (code == BN_CLICKED && ::IsWindowEnabled(control.window) &&
          ::IsWindowVisible(control.window)) {
        Guard([&] { events_.OnClick(id); });
      }
      break;
    case ControlKind::kEdit:
      if (code == EN_CHANGE) Guard([&] { events_.OnChange(id); });
      break;
    case ControlKind::kDirectoryList:
      if (code == LBN_DBLCLK) OnDirectoryDoubleClick(control);
      break;
    case ControlKind::kDriveCombo:
      if (code == CBN_SELCHANGE) OnDriveSelected(control);
      break;
    default:
      break;
  }
}

void FormWindow::Paint() {
  PAINTSTRUCT paint;
  const HDC dc = ::BeginPaint(hwnd_, &paint);
  RECT client;
  ::GetClientRect(hwnd_, &client);
  if (OnPaintBackground) {
    // Drawn off screen first, so the gradient and the picture never flicker.
    const int width = client.right;
    const int height = client.bottom;
    UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    UniqueGdiObject bitmap(::CreateCompatibleBitmap(dc, std::max(width, 1), std::max(height, 1)));
    {
      ScopedSelect select(memory.get(), bitmap.get());
      Guard([&] { OnPaintBackground(memory.get(), width, height); });
      ::BitBlt(dc, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
    }
  } else {
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
  }
  ::EndPaint(hwnd_, &paint);
  if (!first_paint_done_) {
    first_paint_done_ = true;
    if (OnFirstPaint) Guard([&] { OnFirstPaint(); });
  }
}

void FormWindow::CenterWindow() {
  RECT frame;
  ::GetWindowRect(hwnd_, &frame);
  RECT area;
  if (options_.owner == nullptr || !::GetWindowRect(options_.owner, &area)) {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  ::SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::Show() {
  CenterWindow();
  ::ShowWindow(hwnd_, SW_SHOW);
  ::SetForegroundWindow(hwnd_);
  ::UpdateWindow(hwnd_);
  if (::GetFocus() == nullptr || !::IsChild(hwnd_, ::GetFocus())) {
    HWND first =
        default_id_ != 0 && Enabled(default_id_) && ::IsWindowVisible(At(default_id_).window)
            ? At(default_id_).window
            : ::GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (first != nullptr) ::SetFocus(first);
  }
}

int FormWindow::ShowModal() {
  HWND owner = options_.owner;
  if (owner != nullptr) ::EnableWindow(owner, FALSE);
  Show();
  PushModalWindow(hwnd_);
  while (true) {
    if (events_.ModalResult() != 0) {
      bool close = false;
      Guard([&] { close = events_.OnCloseQuery(); });
      if (close && events_.ModalResult() != 0) break;
    }
    MSG message;
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    DispatchThreadMessage(message);
  }
  PopModalWindow(hwnd_);
  // The owner is enabled again before this window hides, so that it takes the activation.
  if (owner != nullptr) ::EnableWindow(owner, TRUE);
  ::ShowWindow(hwnd_, SW_HIDE);
  return events_.ModalResult();
}

FormWindow::Control& FormWindow::At(int id) {
  auto it = controls_.find(id);
  if (it == controls_.end()) throw std::out_of_range("no control " + std::to_string(id));
  return it->second;
}

void FormWindow::UpdateVisibility(Control& control) {
  const bool shown = control.visible && (control.spec.page < 0 || control.spec.page == page_);
  ::ShowWindow(control.window, shown ? SW_SHOWNA : SW_HIDE);
}

void FormWindow::SetCaption(const std::string& caption) {
  ::SetWindowTextW(hwnd_, Wide(caption).c_str());
}

void FormWindow::SetClientSize(int width, int height) {
  RECT frame = {0, 0, width, height};
  ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::SetText(int id, const std::string& text) {
  Control& control = At(id);
  updating_ = true;
  switch (control.spec.kind) {
    case ControlKind::kDirectoryList:
      control.folder = NormalisedFolder(text);
      FillDirectoryList(control);
      break;
    case ControlKind::kDriveCombo:
      if (!text.empty()) {
        SelectDrive(control, text[0]);
        if (control.bound_list != 0) {
          wchar_t current[MAX_PATH] = {};
          const wchar_t drive[] = {static_cast<wchar_t>(text[0]), L':', L'\0'};
          if (::GetFullPathNameW(drive, MAX_PATH, current, nullptr) > 0) {
            Control& list = At(control.bound_list);
            list.folder = NormalisedFolder(NarrowPath(current));
            FillDirectoryList(list);
          }
        }
      }
      break;
    case ControlKind::kLabel:
    case ControlKind::kRightLabel:
      SetLabelText(control, text);
      break;
    default:
      ::SetWindowTextW(control.window, Wide(text).c_str());
      if (control.spec.kind == ControlKind::kRichEdit) {
        ::SendMessageW(control.window, EM_SETSEL, 0, 0);
        ::SendMessageW(control.window, EM_SCROLLCARET, 0, 0);
      }
      break;
  }
  updating_ = false;
}

void FormWindow::SetLabelText(Control& control, const std::string& text) {
  // A label that changed less than kLabelIntervalMs ago takes its new text with the
  // next timer tick: a long operation names each of thousands of entries, and every
  // change of a window's text is a round trip to the window system (under Wine, to its
  // server). The last text always arrives.
  const DWORD now = ::GetTickCount();
  if (now - control.text_shown_at < kLabelIntervalMs) {
    control.pending_text = text;
    control.has_pending_text = true;
    ArmChangeTimer();
    return;
  }
  control.has_pending_text = false;
  control.text_shown_at = now;
  ::SetWindowTextW(control.window, Wide(text).c_str());
}

void FormWindow::ArmChangeTimer() {
  if (change_timer_armed_) return;
  ::SetTimer(hwnd_, kChangeTimer, kLabelIntervalMs, /*function=*/nullptr);
  change_timer_armed_ = true;
}

void FormWindow::ShowPendingChanges() {
  ::KillTimer(hwnd_, kChangeTimer);
  change_timer_armed_ = false;
  for (auto& [id, control] : controls_) {
    if (control.pending_position >= 0) ShowPosition(control, control.pending_position);
    if (!control.has_pending_text) continue;
    control.has_pending_text = false;
    control.text_shown_at = ::GetTickCount();
    ::SetWindowTextW(control.window, Wide(control.pending_text).c_str());
  }
}

std::string FormWindow::Text(int id) {
  Control& control = At(id);
  if (control.has_pending_text) return control.pending_text;
  switch (control.spec.kind) {
    case ControlKind::kDirectoryList:
      return control.folder;
    case ControlKind::kDriveCombo: {
      const LRESULT index = ::SendMessageW(control.window, CB_GETCURSEL, 0, 0);
      if (index == CB_ERR) return std::string();
      return std::string(
          1, static_cast<char>(::SendMessageW(control.window, CB_GETITEMDATA, index, 0)));
    }
    default: {
      const int length = ::GetWindowTextLengthW(control.window);
      std::wstring text(static_cast<size_t>(length) + 1, L'\0');
      const int copied = ::GetWindowTextW(control.window, text.data(), length + 1);
      text.resize(static_cast<size_t>(std::max(copied, 0)));
      return Narrow(text);
    }
  }
}

void FormWindow::SetBounds(int id, const ControlRect& rect) {
  Control& control = At(id);
  const int extra = control.spec.kind == ControlKind::kDriveCombo ? kDropDownHeight : 0;
  ::MoveWindow(control.window, rect.left, rect.top, rect.width, rect.height + extra, TRUE);
}

ControlRect FormWindow::Bounds(int id) {
  RECT rect;
  ::GetWindowRect(At(id).window, &rect);
  ::MapWindowPoints(HWND_DESKTOP, hwnd_, reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

void FormWindow::SetVisible(int id, bool visible) {
  Control& control = At(id);
  control.visible = visible;
  UpdateVisibility(control);
}

bool FormWindow::Visible(int id) { return At(id).visible; }

void FormWindow::SetEnabled(int id, bool enabled) { ::EnableWindow(At(id).window, enabled); }

bool FormWindow::Enabled(int id) { return ::IsWindowEnabled(At(id).window) != FALSE; }

void FormWindow::SetChecked(int id, bool checked) {
  Control& control = At(id);
  ::SendMessageW(control.window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  // Radio buttons of one page exclude each other.
  if (checked && control.spec.kind == ControlKind::kRadioButton) {
    for (auto& [other_id, other] : controls_) {
      if (other_id != id && other.spec.kind == ControlKind::kRadioButton &&
          other.spec.page == control.spec.page) {
        ::SendMessageW(other.window, BM_SETCHECK, BST_UNCHECKED, 0);
      }
    }
  }
}

bool FormWindow::Checked(int id) {
  return ::SendMessageW(At(id).window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void FormWindow::SetFocus(int id) { ::SetFocus(At(id).window); }

void FormWindow::SetProgress(int id, int position, int maximum) {
  // Long operations report progress thousands of times, and every position sent repaints
  // the bar at once (about a millisecond under Wine). So a position is sent only when it
  // moves the bar by a pixel, and no sooner than kLabelIntervalMs after the last one: a
  // newer position waits for the timer, and the last one always arrives.
  Control& control = At(id);
  maximum = std::max(maximum, 0);
  position = std::clamp(position, 0, maximum);
  if (maximum != control.maximum) {
    ::SendMessageW(control.window, PBM_SETRANGE32, 0, maximum);
    control.maximum = maximum;
    control.shown_pixel = -1;
    RECT client{};
    ::GetClientRect(control.window, &client);
    control.bar_width = client.right - client.left;
  }
  const int pixel = maximum == 0 ? 0 : ::MulDiv(position, control.bar_width, maximum);
  if (pixel == control.shown_pixel && position != maximum) return;
  if (::GetTickCount() - control.text_shown_at < kLabelIntervalMs && position != maximum) {
    control.pending_position = position;
    ArmChangeTimer();
    return;
  }
  ShowPosition(control, position);
}

void FormWindow::ShowPosition(Control& control, int position) {
  ::SendMessageW(control.window, PBM_SETPOS, position, 0);
  control.shown_pixel =
      control.maximum == 0 ? 0 : ::MulDiv(position, control.bar_width, control.maximum);
  control.text_shown_at = ::GetTickCount();
  control.pending_position = -1;
}

void FormWindow::ShowNotebookPage(int page) {
  page_ = page;
  for (auto& [id, control] : controls_) {
    if (control.spec.page >= 0) UpdateVisibility(control);
  }
}

void FormWindow::Repaint() { ::InvalidateRect(hwnd_, nullptr, TRUE); }

void FormWindow::BringToFront() { ::SetForegroundWindow(hwnd_); }

// --- The folder choice ----------------------------------------------------------------

void FormWindow::FillDirectoryList(Control& list) {
  // Like the classic directory list, the list makes its folder the process's current one:
  // a folder the user moved away from (the install folder during a removal) is then no
  // longer held in use and can be removed.
  if (!list.folder.empty()) ::SetCurrentDirectoryW(Wide(list.folder).c_str());
  ::SendMessageW(list.window, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list.window, LB_RESETCONTENT, 0, 0);
  list.item_paths.clear();
  auto add = [&](const std::string& label, const std::string& path, int level) {
    const LRESULT index =
        ::SendMessageW(list.window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(label).c_str()));
    ::SendMessageW(list.window, LB_SETITEMDATA, index, level);
    list.item_paths.push_back(path);
  };
  // The folder's ancestors from the root down, the folder itself, then its sub-folders.
  const std::string& folder = list.folder;
  int level = 0;
  int selected = -1;
  if (folder.size() >= 3 && folder[1] == ':') {
    std::string path = folder.substr(0, 3);
    add(path, path, level++);
    size_t start = 3;
    while (start < folder.size()) {
      size_t end = start;
      // Whole characters: the second byte of a double-byte character may be 0x5C.
      while (end < folder.size() && folder[end] != '\\') end += CharLengthAt(folder, end);
      end = std::min(end, folder.size());
      const std::string name = folder.substr(start, end - start);
      path = NormalisedFolder(path + (path.back() == '\\' ? "" : "\\") + name);
      add(name, path, level++);
      start = end + 1;
    }
    selected = level - 1;
    const std::string base = folder.back() == '\\' ? folder : folder + "\\";
    for (const std::string& name : SubFolders(folder)) add(name, base + name, level);
  }
  ::SendMessageW(list.window, LB_SETCURSEL, selected, 0);
  ::SendMessageW(list.window, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list.window, nullptr, TRUE);
}

void FormWindow::OnDirectoryDoubleClick(Control& list) {
  const LRESULT index = ::SendMessageW(list.window, LB_GETCURSEL, 0, 0);
  if (index < 0 || static_cast<size_t>(index) >= list.item_paths.size()) return;
  list.folder = list.item_paths[static_cast<size_t>(index)];
  FillDirectoryList(list);
  Guard([&] { events_.OnChange(list.spec.id); });
}

void FormWindow::FillDriveCombo(Control& combo) {
  const DWORD drives = ::GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(drives & (1u << i))) continue;
    const wchar_t letter = static_cast<wchar_t>(L'a' + i);
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    std::wstring label = std::wstring(1, letter) + L":";
    // Only fixed drives are asked for their name: a removable one would spin up or ask
    // for a disc.
    const UINT type = ::GetDriveTypeW(root);
    wchar_t volume[MAX_PATH + 1] = {};
    if ((type == DRIVE_FIXED || type == DRIVE_RAMDISK) &&
        ::GetVolumeInformationW(root, volume, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr,
                                0) &&
        volume[0] != L'\0') {
      label += L" [";
      label += volume;
      label += L"]";
    }
    const LRESULT index =
        ::SendMessageW(combo.window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
    ::SendMessageW(combo.window, CB_SETITEMDATA, index, 'A' + i);
  }
}

void FormWindow::SelectDrive(Control& combo, char letter) {
  const char upper = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 32 : letter);
  const LRESULT count = ::SendMessageW(combo.window, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (::SendMessageW(combo.window, CB_GETITEMDATA, i, 0) == upper) {
      ::SendMessageW(combo.window, CB_SETCURSEL, i, 0);
      return;
    }
  }
}

void FormWindow::OnDriveSelected(Control& combo) {
  const std::string letter = Text(combo.spec.id);
  if (letter.empty()) return;
  if (combo.bound_list != 0) {
    wchar_t current[MAX_PATH] = {};
    const wchar_t drive[] = {static_cast<wchar_t>(letter[0]), L':', L'\0'};
    const wchar_t root[] = {static_cast<wchar_t>(letter[0]), L':', L'\\', L'\0'};
    if (::GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES &&
        ::GetFullPathNameW(drive, MAX_PATH, current, nullptr) > 0) {
      Control& list = At(combo.bound_list);
      list.folder = NormalisedFolder(NarrowPath(current));
      FillDirectoryList(list);
      Guard([&] { events_.OnChange(list.spec.id); });
    }
  }
  Guard([&] { events_.OnChange(combo.spec.id); });
}

LRESULT FormWindow::DrawDirectoryItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_LISTBOX || item.itemID == static_cast<UINT>(-1)) return TRUE;
  const HDC dc = item.hDC;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const int level = static_cast<int>(item.itemData);
  RECT glyph = item.rcItem;
  glyph.left += 2 + level * kDirectoryIndent;
  glyph.top += 3;
  glyph.right = glyph.left + 14;
  glyph.bottom = glyph.top + 10;
  // A folder: a tab and a body, in the shell's folder yellow.
  UniqueGdiObject body(::CreateSolidBrush(RGB(0xF0, 0xC8, 0x50)));
  RECT tab = {glyph.left, glyph.top - 1, glyph.left + 6, glyph.top + 1};
  ::FillRect(dc, &tab, static_cast<HBRUSH>(body.get()));
  ::FillRect(dc, &glyph, static_cast<HBRUSH>(body.get()));
  ::FrameRect(dc, &glyph, ::GetSysColorBrush(COLOR_GRAYTEXT));

  const int length = static_cast<int>(::SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0));
  std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
  ::SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(std::max(length, 0)));
  RECT text_rect = item.rcItem;
  text_rect.left = glyph.right + 4;
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  ScopedSelect select(dc, font_.get());
  ::DrawTextW(dc, text.c_str(), -1, &text_rect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &item.rcItem);
  return TRUE;
}

}  // namespace koru::platform::win32
