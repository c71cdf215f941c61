#include "gui_session.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/gui/update_app.h"
#include "ui/about_dlg.h"
#include "ui/framework/bitmap_pixels.h"
#include "ui/framework/dialog.h"
#include "ui/framework/scoped_handles.h"
#include "ui/resources/resource.h"
#include "ui/update_dlg.h"

namespace zet::test {

namespace {

thread_local GuiSession* t_Session = nullptr;

std::string ClassOf(HWND window) {
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

BoxIcon IconKind(HICON icon) {
  if (icon == nullptr) return BoxIcon::None;
  if (icon == ::LoadIcon(nullptr, IDI_ERROR)) return BoxIcon::Error;
  if (icon == ::LoadIcon(nullptr, IDI_WARNING)) return BoxIcon::Warning;
  if (icon == ::LoadIcon(nullptr, IDI_INFORMATION)) return BoxIcon::Information;
  if (icon == ::LoadIcon(nullptr, IDI_QUESTION)) return BoxIcon::Question;
  return BoxIcon::Other;
}

// A message box as the user sees it: its texts and its icon.
CaughtBox ReadBox(HWND window) {
  CaughtBox box;
  box.window = window;
  box.owner = ::GetWindow(window, GW_OWNER);
  box.caption = TextOf(window);
  for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) != "Static") continue;
    if ((::GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      box.icon = IconKind(reinterpret_cast<HICON>(::SendMessageA(child, STM_GETICON, 0, 0)));
    } else {
      std::string text = TextOf(child);
      if (!text.empty()) box.text += text;
    }
  }
  return box;
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= end) return pred();
    Pause(10);
  }
}

GuiSession::GuiSession(std::function<void()> body) {
  HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = std::thread([this, body = std::move(body), ready] {
    t_Session = this;
    threadId_ = ::GetCurrentThreadId();
    ScopedHook hook(WH_CBT, &GuiSession::CbtHook);
    ::SetEvent(ready);
    body();
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
  });
  ::WaitForSingleObject(ready, INFINITE);
  ::CloseHandle(ready);
}

GuiSession::~GuiSession() {
  // A test that failed half-way leaves windows open: close them, so the body
  // ends and the next test starts clean.
  for (int attempt = 0; attempt < 600 && !ended(); ++attempt) {
    Closeall();
    Pause(50);
  }
  if (!ended()) {
    std::fprintf(stderr, "gui session: the windows under test do not close\n");
    std::abort();
  }
  thread_.join();
}

void GuiSession::Closeall() {
  ::EnumThreadWindows(
      threadId_,
      [](HWND window, LPARAM) -> BOOL {
        if (::IsWindowVisible(window)) ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        if (::IsWindowVisible(window)) ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
      },
      0);
}

bool GuiSession::ended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}

bool GuiSession::WaitForEnd(int timeoutMs) {
  return WaitUntil([this] { return ended(); }, timeoutMs);
}

LRESULT CALLBACK GuiSession::CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && t_Session != nullptr) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (ClassOf(window) == "#32770" && CDialog::FromHandle(window) == nullptr) {
      std::lock_guard<std::mutex> lock(t_Session->mutex_);
      bool seen = false;
      for (HWND w : t_Session->seen_) seen = seen || w == window;
      if (!seen) {
        t_Session->seen_.push_back(window);
        t_Session->boxes_.push_back(ReadBox(window));
      }
    }
  }
  if (code == HCBT_DESTROYWND && t_Session != nullptr) {
    std::lock_guard<std::mutex> lock(t_Session->mutex_);
    HWND window = reinterpret_cast<HWND>(wParam);
    for (HWND& w : t_Session->seen_)
      if (w == window) w = nullptr;
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

CaughtBox GuiSession::WaitForBox(int timeoutMs) {
  CaughtBox box;
  WaitUntil(
      [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        if (taken_ >= boxes_.size()) return false;
        box = boxes_[taken_++];
        return true;
      },
      timeoutMs);
  return box;
}

bool GuiSession::NoBoxWithin(int ms) {
  Pause(ms);
  std::lock_guard<std::mutex> lock(mutex_);
  return taken_ >= boxes_.size();
}

void GuiSession::CloseBox(const CaughtBox& box) {
  if (box.window != nullptr) ::PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

HWND GuiSession::WaitForDialog(const std::function<bool(HWND)>& pred, int timeoutMs) {
  struct Search {
    const std::function<bool(HWND)>* pred;
    HWND found;
  } search = {&pred, nullptr};
  WaitUntil(
      [&] {
        ::EnumThreadWindows(
            threadId_,
            [](HWND window, LPARAM data) -> BOOL {
              auto* s = reinterpret_cast<Search*>(data);
              if (::IsWindowVisible(window) && CDialog::FromHandle(window) != nullptr && (*s->pred)(window)) {
                s->found = window;
                return FALSE;
              }
              return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeoutMs);
  return search.found;
}

void Click(HWND dialog, int id) { ::PostMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void SetText(HWND dialog, int id, const std::string& text) {
  ::SendMessageA(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string TextOf(HWND window) {
  char text[4096] = {};
  ::SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

std::string ItemText(HWND dialog, int id) { return TextOf(::GetDlgItem(dialog, id)); }

bool ItemEnabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }

Image CaptureWindow(HWND window) {
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Pause(200);
  RECT rect;
  if (!::GetWindowRect(window, &rect)) return Image();
  return CaptureScreen(rect);
}

namespace {

// The pixels of an area of a device context.
Image CaptureDC(HDC source, int x, int y, int width, int height) {
  Image image;
  if (width <= 0 || height <= 0) return image;
  image.width = width;
  image.height = height;
  ScopedMemoryDC memory(source);
  ScopedBitmap bitmap(::CreateCompatibleBitmap(source, width, height));
  {
    ScopedSelectObject select(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, width, height, source, x, y, SRCCOPY);
  }
  image.pixels = ReadBitmapPixels(bitmap.get(), width, height);
  if (image.pixels.empty()) return Image();
  return image;
}

}  // namespace

Image CaptureScreen(const RECT& rect) {
  ScopedWindowDC screen(nullptr);
  return CaptureDC(screen.get(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

Image CaptureWindowDrawing(HWND window) {
  RECT rect;
  if (!::GetWindowRect(window, &rect)) return Image();
  ScopedWindowDC dc(window, true);
  return CaptureDC(dc.get(), 0, 0, rect.right - rect.left, rect.bottom - rect.top);
}

std::string SaveScreenshot(HWND window, const std::string& name) {
  return SaveScreenshot(CaptureWindow(window), name);
}

std::string SaveScreenshot(const Image& image, const std::string& name) {
  char module[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string folder(module);
  // The test programs sit in build/windows/tests; the pictures go beside them.
  for (int up = 0; up < 2; ++up) folder = folder.substr(0, folder.find_last_of('\\'));
  const std::string path = folder + "\\screenshots\\" + name + ".png";
  return WritePng(path, image) ? path : std::string();
}

HostKey::HostKey() {
  ::RegCreateKeyExA(HKEY_CLASSES_ROOT, "Software\\Brankor\\KORA", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                    nullptr);
}

HostKey::~HostKey() {
  if (key_ != nullptr) ::RegCloseKey(key_);
  RemoveAll();
}

void HostKey::RemoveAll() { ::RegDeleteTreeA(HKEY_CLASSES_ROOT, "Software\\Brankor"); }

void HostKey::SetDword(const char* name, DWORD value) {
  ::RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void HostKey::SetString(const char* name, const std::string& value) {
  ::RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

long long HostKey::ReadDword(const char* name) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (::RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return -1;
  return value;
}

void HostKey::Delete(const char* name) { ::RegDeleteValueA(key_, name); }

CurrentFolder::CurrentFolder(const std::string& folder) {
  char previous[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, previous);
  previous_ = previous;
  ::SetCurrentDirectoryA(folder.c_str());
}

CurrentFolder::~CurrentFolder() { ::SetCurrentDirectoryA(previous_.c_str()); }

bool IsMainDialog(HWND window) { return dynamic_cast<CUpdateDlg*>(CDialog::FromHandle(window)) != nullptr; }
bool IsAboutBox(HWND window) { return dynamic_cast<CAboutDlg*>(CDialog::FromHandle(window)) != nullptr; }

ProgramSession::ProgramSession(const std::string& resBase, const std::string& language) {
  host_.SetDword("VERSION", 0x40000);
  if (!resBase.empty()) host_.SetString("ResBase", resBase);
  WriteBytes(dir_ / "zetveltran.lng", language.empty() ? ReadBytes(DataPath("ui/zetveltran.lng")) : language);
  folder_ = std::make_unique<CurrentFolder>(dir_.path());
  session_ = std::make_unique<GuiSession>([] {
    CUpdateApp app;
    app.InitInstance();
  });
  dialog_ = session_->WaitForDialog(IsMainDialog);
}

ProgramSession::~ProgramSession() {
  if (dialog_ != nullptr && session_->WaitForDialog(IsMainDialog, 0) != nullptr) Click(dialog_, IDCANCEL);
  session_.reset();
}

CaughtBox ProgramSession::Confirm(const std::string& source, const std::string& target) {
  SetText(dialog_, IDC_SOURCE, source);
  SetText(dialog_, IDC_TARGET, target);
  Click(dialog_, IDOK);
  return session_->WaitForBox();
}

}  // namespace zet::test
