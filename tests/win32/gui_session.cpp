#include "gui_session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "main/update_app.h"
#include "ui/about_dlg.h"
#include "ui/framework/bitmap_pixels.h"
#include "ui/framework/dialog.h"
#include "ui/framework/scoped_handles.h"
#include "ui/update_dlg.h"

namespace zet::test {

namespace {

thread_local GuiSession* t_Session = nullptr;

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
    if ((::GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      box.icon = IconKind(reinterpret_cast<HICON>(::SendMessageA(child, STM_GETICON, 0, 0)));
    else
      box.text += TextOf(child);
  }
  return box;
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The thread's top-level windows.
std::vector<HWND> ThreadWindows(DWORD thread) {
  std::vector<HWND> windows;
  ::EnumThreadWindows(
      thread,
      [](HWND window, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// The pixels of an area of a device context.
Image CaptureDC(HDC source, int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return Image();
  ScopedMemoryDC memory(source);
  ScopedBitmap bitmap(::CreateCompatibleBitmap(source, width, height));
  {
    ScopedSelectObject select(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, width, height, source, x, y, SRCCOPY);
  }
  Image image{width, height, ReadBitmapPixels(bitmap.get(), width, height)};
  return image.pixels.empty() ? Image() : image;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= end) return pred();
    Pause(10);
  }
}

HWND WaitForWindow(DWORD thread, const std::function<bool(HWND)>& pred, int timeoutMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : ThreadWindows(thread))
          if (found == nullptr && ::IsWindowVisible(window) && pred(window)) found = window;
        return found != nullptr;
      },
      timeoutMs);
  return found;
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
    for (HWND window : ThreadWindows(threadId_))
      for (int id : {IDCANCEL, IDOK})
        if (::IsWindowVisible(window)) ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    Pause(50);
  }
  if (!ended()) {
    std::fprintf(stderr, "gui session: the windows under test do not close\n");
    std::abort();
  }
  thread_.join();
}

bool GuiSession::ended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}

bool GuiSession::WaitForEnd(int timeoutMs) {
  return WaitUntil([this] { return ended(); }, timeoutMs);
}

LRESULT CALLBACK GuiSession::CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  // A box is caught when it is first activated, and only once.
  HWND window = reinterpret_cast<HWND>(wParam);
  if ((code == HCBT_ACTIVATE || code == HCBT_DESTROYWND) && t_Session != nullptr) {
    std::lock_guard<std::mutex> lock(t_Session->mutex_);
    std::vector<HWND>& open = t_Session->open_;
    const auto known = std::find(open.begin(), open.end(), window);
    if (code == HCBT_DESTROYWND && known != open.end()) open.erase(known);
    if (code == HCBT_ACTIVATE && known == open.end() && ClassOf(window) == "#32770" &&
        CDialog::FromHandle(window) == nullptr) {
      open.push_back(window);
      t_Session->boxes_.push_back(ReadBox(window));
    }
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
  return WaitForWindow(
      threadId_, [&](HWND window) { return CDialog::FromHandle(window) != nullptr && pred(window); }, timeoutMs);
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

std::string ClassOf(HWND window) {
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

Image CaptureScreen(const RECT& rect) {
  ScopedWindowDC screen(nullptr);
  return CaptureDC(screen.get(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

Image CaptureWindow(HWND window) {
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Pause(200);
  RECT rect;
  return ::GetWindowRect(window, &rect) ? CaptureScreen(rect) : Image();
}

Image CaptureWindowDrawing(HWND window) {
  RECT rect;
  if (!::GetWindowRect(window, &rect)) return Image();
  ScopedWindowDC dc(window, true);
  return CaptureDC(dc.get(), 0, 0, rect.right - rect.left, rect.bottom - rect.top);
}

std::string SaveScreenshot(const Image& image, const std::string& name) {
  char module[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string folder(module);
  // The test programs sit in build/windows/tests; the pictures go beside them.
  for (int up = 0; up < 2; ++up) folder = folder.substr(0, folder.find_last_of('\\'));
  const std::string path = folder + "\\screenshots\\" + name + ".bmp";
  std::error_code ec;
  std::filesystem::create_directories(folder + "\\screenshots", ec);
  // 32 bits a pixel, top row first: the image's own pixels are the bitmap's.
  const DWORD bits = static_cast<DWORD>(image.pixels.size() * 4);
  const BITMAPINFOHEADER info = {sizeof info, image.width, -image.height, 1, 32, BI_RGB, bits, 0, 0, 0, 0};
  const DWORD head = sizeof(BITMAPFILEHEADER) + sizeof info;
  const BITMAPFILEHEADER file = {0x4D42, head + bits, 0, 0, head};
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(reinterpret_cast<const char*>(image.pixels.data()), bits);
  return out ? path : std::string();
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
  const LONG status = ::RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  return status == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long long>(value) : -1;
}

void HostKey::Delete(const char* name) { ::RegDeleteValueA(key_, name); }

bool IsMainDialog(HWND window) { return dynamic_cast<CUpdateDlg*>(CDialog::FromHandle(window)) != nullptr; }
bool IsAboutBox(HWND window) { return dynamic_cast<CAboutDlg*>(CDialog::FromHandle(window)) != nullptr; }
std::string LanguagePath() { return BuildTreePath(Join(ZET_SOURCE_DIR, "lang/zetveltran.lng")); }
std::string TestLanguage() { return ReadBytes(LanguagePath()); }

ProgramRun::ProgramRun(const std::string& language) {
  if (!language.empty()) WriteBytes(dir_ / "zetveltran.lng", language);
  char previous[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, previous);
  previousFolder_ = previous;
  ::SetCurrentDirectoryA(dir_.path().c_str());
  session_ = std::make_unique<GuiSession>([this] {
    CUpdateApp app;
    result_ = app.InitInstance();
  });
}

ProgramRun::~ProgramRun() {
  session_.reset();
  ::SetCurrentDirectoryA(previousFolder_.c_str());
}

ProgramSession::ProgramSession(const std::string& resBase, const std::string& language) {
  host_.SetDword("VERSION", 0x40000);
  if (!resBase.empty()) host_.SetString("ResBase", resBase);
  run_ = std::make_unique<ProgramRun>(language);
  dialog_ = session().WaitForDialog(IsMainDialog);
}

}  // namespace zet::test
