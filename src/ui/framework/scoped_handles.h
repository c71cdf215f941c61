#pragma once
// Owners for the handles the program creates: each CreateXxx has one, and
// the handle goes back to the system when its owner goes.

#include <windows.h>

#include <type_traits>
#include <utility>

namespace zet {

// One owned handle of type T, given back by Release when its owner goes or
// is given another. A kernel object's INVALID_HANDLE_VALUE counts as none.
template <class T, auto Release>
class ScopedOwner {
 public:
  ScopedOwner() = default;
  explicit ScopedOwner(T handle) : handle_(Valid(handle)) {}
  ~ScopedOwner() { Reset(); }
  ScopedOwner(ScopedOwner&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  ScopedOwner& operator=(ScopedOwner&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  ScopedOwner(const ScopedOwner&) = delete;
  ScopedOwner& operator=(const ScopedOwner&) = delete;

  T get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(T handle = nullptr) {
    if (handle_ != nullptr) Release(handle_);
    handle_ = Valid(handle);
  }

 private:
  static T Valid(T handle) {
    if constexpr (std::is_same_v<T, HANDLE>) return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    return handle;
  }
  T handle_ = nullptr;
};

// A kernel object (thread, event, snapshot).
using ScopedHandle = ScopedOwner<HANDLE, &::CloseHandle>;
// A GDI object (pen, brush, bitmap, font, region).
template <class T>
using ScopedGdiObject = ScopedOwner<T, &::DeleteObject>;
using ScopedBitmap = ScopedGdiObject<HBITMAP>;
using ScopedBrush = ScopedGdiObject<HBRUSH>;
using ScopedFont = ScopedGdiObject<HFONT>;
using ScopedPen = ScopedGdiObject<HPEN>;

// A memory device context: DeleteDC.
class ScopedMemoryDC {
 public:
  explicit ScopedMemoryDC(HDC compatibleWith) : dc_(::CreateCompatibleDC(compatibleWith)) {}
  ~ScopedMemoryDC() {
    if (dc_ != nullptr) ::DeleteDC(dc_);
  }
  ScopedMemoryDC(const ScopedMemoryDC&) = delete;
  ScopedMemoryDC& operator=(const ScopedMemoryDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// The device context of a window's client area (the screen's for a null
// window), or of the whole window with its frame: ReleaseDC.
class ScopedWindowDC {
 public:
  explicit ScopedWindowDC(HWND window, bool wholeWindow = false)
      : window_(window), dc_(wholeWindow ? ::GetWindowDC(window) : ::GetDC(window)) {}
  ~ScopedWindowDC() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  ScopedWindowDC(const ScopedWindowDC&) = delete;
  ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context until the scope ends.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A menu that no window owns.
using ScopedMenu = ScopedOwner<HMENU, &::DestroyMenu>;

// A window hook of the calling thread: UnhookWindowsHookEx.
class ScopedHook {
 public:
  ScopedHook() = default;
  ScopedHook(int type, HOOKPROC proc, DWORD threadId = ::GetCurrentThreadId())
      : hook_(::SetWindowsHookExA(type, proc, nullptr, threadId)) {}
  ~ScopedHook() { Reset(); }
  ScopedHook(const ScopedHook&) = delete;
  ScopedHook& operator=(const ScopedHook&) = delete;
  HHOOK get() const { return hook_; }
  void Reset() {
    if (hook_ != nullptr) ::UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
  }

 private:
  HHOOK hook_ = nullptr;
};

}  // namespace zet
