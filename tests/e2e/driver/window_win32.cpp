#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e/driver/report.h"
#include "e2e/driver/window.h"
#include "platform/win32/win32_text.h"

namespace e2e {
namespace {

using koru::platform::win32::Narrow;
using koru::platform::win32::Wide;

// A window of another process may hang; never wait on it for long.
constexpr UINT kSendTimeoutMs = 2000;

bool Send(HWND window, UINT message, WPARAM w, LPARAM l, DWORD_PTR* result) {
  return ::SendMessageTimeoutW(window, message, w, l, SMTO_ABORTIFHUNG, kSendTimeoutMs, result) !=
         0;
}

// WM_GETTEXT: what the control shows now (GetWindowTextW does not ask another process's
// edit control, it returns the text the window was created with).
std::wstring WindowTextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length)) return std::wstring();
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied)) {
    return std::wstring();
  }
  text.resize(copied < text.size() ? copied : text.size() - 1);
  return text;
}

std::wstring CaptionOf(HWND window) {
  wchar_t buffer[512] = {};
  const int length = ::GetWindowTextW(window, buffer, 512);
  return std::wstring(buffer, length > 0 ? length : 0);
}

std::string ClassOf(HWND window) {
  wchar_t buffer[256] = {};
  const int length = ::GetClassNameW(window, buffer, 256);
  return Narrow(std::wstring_view(buffer, length > 0 ? length : 0));
}

// "&Yes" shows as "Yes"; "&&" is one ampersand.
std::wstring WithoutMnemonics(std::wstring_view text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) ++i;
    out.push_back(text[i]);
  }
  return out;
}

std::string Quoted(std::string_view sjis) { return "\"" + Utf8(sjis) + "\""; }

std::string Hex(const void* handle) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%08llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
  return buffer;
}

bool IsCheckable(HWND window) {
  if (ClassOf(window) != "Button") return false;
  switch (::GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return true;
    default:
      return false;
  }
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

Rect ToRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

bool Matches(HWND window, const WindowQuery& query) {
  if (query.visible_only && !::IsWindowVisible(window)) return false;
  if (!query.class_name.empty() && ClassOf(window) != query.class_name) return false;
  if (query.process_id != 0) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != query.process_id) return false;
  }
  if (!query.caption.empty()) {
    const std::wstring caption = CaptionOf(window);
    const std::wstring wanted = Wide(query.caption);
    if (query.caption_contains ? caption.find(wanted) == std::wstring::npos : caption != wanted) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string ToString(const Rect& rect) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "(%d,%d)-(%d,%d) %dx%d", rect.left, rect.top, rect.right,
                rect.bottom, rect.width(), rect.height());
  return buffer;
}

std::string ToString(const WindowQuery& query) {
  std::string out;
  if (!query.caption.empty()) {
    out += std::string("caption ") + (query.caption_contains ? "containing " : "") +
           Quoted(query.caption);
  }
  if (!query.class_name.empty()) out += (out.empty() ? "" : ", ") + ("class " + query.class_name);
  if (query.process_id != 0) {
    out += (out.empty() ? "" : ", ") + ("process " + std::to_string(query.process_id));
  }
  return out.empty() ? "any window" : out;
}

// --- Control -------------------------------------------------------------------------------

int Control::Id() const { return ::GetDlgCtrlID(handle_); }
std::string Control::ClassName() const { return ClassOf(handle_); }
std::string Control::Text() const { return Narrow(WindowTextOf(handle_)); }
bool Control::Visible() const { return ::IsWindowVisible(handle_) != FALSE; }
bool Control::Enabled() const { return ::IsWindowEnabled(handle_) != FALSE; }
bool Control::Exists() const { return ::IsWindow(handle_) != FALSE; }

Rect Control::Bounds() const {
  RECT r{};
  ::GetWindowRect(handle_, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(handle_), reinterpret_cast<POINT*>(&r), 2);
  return ToRect(r);
}

bool Control::Checked() const {
  DWORD_PTR state = 0;
  return Send(handle_, BM_GETCHECK, 0, 0, &state) && state == BST_CHECKED;
}

std::string Control::Describe() const {
  if (!Exists()) return "control " + Hex(handle_) + " (destroyed)";
  std::string out = ClassName() + " id " + std::to_string(Id()) + " " + Quoted(Text()) + " " +
                    ToString(Bounds()) + (Visible() ? " visible" : " hidden") +
                    (Enabled() ? " enabled" : " disabled");
  if (IsCheckable(handle_)) out += Checked() ? " checked" : " unchecked";
  return out;
}

void Control::WaitUntilEnabled(bool enabled, int timeout_ms) const {
  if (!WaitUntil([&] { return Exists() && Enabled() == enabled; }, timeout_ms)) {
    FailStep("wait until " + Describe() + " is " + (enabled ? "enabled" : "disabled"),
             "it was not within " + std::to_string(timeout_ms) + " ms");
  }
}

void Control::Click(int timeout_ms) const {
  if (!WaitUntil([&] { return Exists() && Visible() && Enabled(); }, timeout_ms)) {
    FailStep("click " + Describe(),
             "it was not visible and enabled within " + std::to_string(timeout_ms) + " ms");
  }
  Log("click " + Describe());
  ::PostMessageW(handle_, BM_CLICK, 0, 0);
}

void Control::Type(std::string_view sjis, int timeout_ms) const {
  if (!WaitUntil([&] { return Exists() && Visible() && Enabled(); }, timeout_ms)) {
    FailStep("type " + Quoted(sjis) + " into " + Describe(),
             "it was not visible and enabled within " + std::to_string(timeout_ms) + " ms");
  }
  Log("type " + Quoted(sjis) + " into " + Describe());
  // Posted messages of one thread arrive in order: the selection first, then the keys.
  ::PostMessageW(handle_, EM_SETSEL, 0, -1);
  for (wchar_t c : Wide(sjis)) ::PostMessageW(handle_, WM_CHAR, c, 1);
  WaitForText(sjis, timeout_ms);
}

void Control::WaitForText(std::string_view sjis, int timeout_ms) const {
  const std::wstring wanted = Wide(sjis);
  if (!WaitUntil([&] { return WindowTextOf(handle_) == wanted; }, timeout_ms)) {
    FailStep("wait for the text " + Quoted(sjis) + " in " + Describe(),
             "it did not appear within " + std::to_string(timeout_ms) + " ms");
  }
}

// --- Window --------------------------------------------------------------------------------

std::vector<Window> Window::All() {
  std::vector<HWND> handles;
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&handles));
  return std::vector<Window>(handles.begin(), handles.end());
}

std::optional<Window> Window::Find(const WindowQuery& query) {
  for (const Window& window : All()) {
    if (Matches(window.handle(), query)) return window;
  }
  return std::nullopt;
}

Window Window::WaitFor(const WindowQuery& query, int timeout_ms) {
  std::optional<Window> found;
  if (!WaitUntil([&] { return (found = Find(query)).has_value(); }, timeout_ms)) {
    FailStep("wait for the window " + ToString(query),
             "none appeared within " + std::to_string(timeout_ms) + " ms");
  }
  Log("window " + found->Describe());
  return *found;
}

std::string Window::Caption() const { return Narrow(CaptionOf(handle_)); }
std::string Window::ClassName() const { return ClassOf(handle_); }
bool Window::Visible() const { return ::IsWindowVisible(handle_) != FALSE; }
bool Window::Enabled() const { return ::IsWindowEnabled(handle_) != FALSE; }
bool Window::Exists() const { return ::IsWindow(handle_) != FALSE; }

unsigned long Window::ProcessId() const {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(handle_, &pid);
  return pid;
}

Rect Window::Bounds() const {
  RECT r{};
  ::GetWindowRect(handle_, &r);
  return ToRect(r);
}

Rect Window::ClientArea() const {
  RECT r{};
  ::GetClientRect(handle_, &r);
  ::MapWindowPoints(handle_, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  return ToRect(r);
}

std::vector<Control> Window::Controls() const {
  std::vector<HWND> handles;
  ::EnumChildWindows(handle_, CollectWindow, reinterpret_cast<LPARAM>(&handles));
  return std::vector<Control>(handles.begin(), handles.end());
}

std::optional<Control> Window::FindById(int id) const {
  for (const Control& control : Controls()) {
    if (control.Id() == id) return control;
  }
  return std::nullopt;
}

std::optional<Control> Window::FindByText(std::string_view sjis,
                                          std::string_view class_name) const {
  const std::wstring wanted = WithoutMnemonics(Wide(sjis));
  for (const Control& control : Controls()) {
    if (!class_name.empty() && control.ClassName() != class_name) continue;
    if (WithoutMnemonics(WindowTextOf(control.handle())) == wanted) return control;
  }
  return std::nullopt;
}

Control Window::ById(int id, int timeout_ms) const {
  std::optional<Control> found;
  if (!WaitUntil([&] { return (found = FindById(id)).has_value(); }, timeout_ms)) {
    FailStep("find the control id " + std::to_string(id) + " in " + Describe(),
             "there was none within " + std::to_string(timeout_ms) + " ms");
  }
  return *found;
}

Control Window::ByText(std::string_view sjis, std::string_view class_name, int timeout_ms) const {
  std::optional<Control> found;
  if (!WaitUntil([&] { return (found = FindByText(sjis, class_name)).has_value(); }, timeout_ms)) {
    FailStep("find the control " + Quoted(sjis) +
                 (class_name.empty() ? "" : " of class " + std::string(class_name)) + " in " +
                 Describe(),
             "there was none within " + std::to_string(timeout_ms) + " ms");
  }
  return *found;
}

void Window::Click(int id, int timeout_ms) const { ById(id, timeout_ms).Click(timeout_ms); }

void Window::Close() const {
  Log("close " + Describe());
  ::PostMessageW(handle_, WM_CLOSE, 0, 0);
}

void Window::WaitUntilClosed(int timeout_ms) const {
  if (!WaitUntil([&] { return !Exists(); }, timeout_ms)) {
    FailStep("wait until " + Describe() + " is closed",
             "it was still open after " + std::to_string(timeout_ms) + " ms");
  }
}

std::string Window::Describe() const {
  if (!Exists()) return "window " + Hex(handle_) + " (destroyed)";
  return "window " + Hex(handle_) + " class " + ClassName() + " " + Quoted(Caption()) +
         " process " + std::to_string(ProcessId()) + " " + ToString(Bounds()) +
         (Visible() ? " visible" : " hidden") + (Enabled() ? " enabled" : " disabled");
}

}  // namespace e2e
