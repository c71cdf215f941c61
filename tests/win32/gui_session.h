#pragma once
// Driving the program's real windows from a test. A GuiSession runs a body
// (the whole start-up, or one dialog) on a thread of its own, as the program
// runs it on its main thread; the test drives it with messages, as a user
// would with mouse and keyboard. Message boxes of that thread are caught by
// a hook when they appear, with texts, icon and owner, and stay open until
// the test closes them.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "running_copy.h"
#include "test_support.h"

namespace zet::test {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first

  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

enum class BoxIcon { None, Error, Warning, Information, Question, Other };

struct CaughtBox {
  HWND window = nullptr;
  HWND owner = nullptr;
  std::string caption;
  std::string text;
  BoxIcon icon = BoxIcon::None;
};

class GuiSession {
 public:
  explicit GuiSession(std::function<void()> body);
  // Closes whatever is still open and waits for the body to end.
  ~GuiSession();

  DWORD threadId() const { return threadId_; }
  // The next box that appeared and was not yet taken; an empty window when
  // none comes in time.
  CaughtBox WaitForBox(int timeoutMs = 20000);
  bool NoBoxWithin(int ms);
  static void CloseBox(const CaughtBox& box);  // presses its OK button
  // The first visible window of our dialog layer on the body's thread that
  // pred accepts; null when none comes in time.
  HWND WaitForDialog(const std::function<bool(HWND)>& pred, int timeoutMs = 20000);
  bool WaitForEnd(int timeoutMs = 20000);
  bool ended() const;

 private:
  static LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam);

  std::thread thread_;
  DWORD threadId_ = 0;
  mutable std::mutex mutex_;
  std::vector<CaughtBox> boxes_;
  std::vector<HWND> open_;  // the boxes caught and not yet destroyed
  size_t taken_ = 0;
  bool ended_ = false;
};

// Waits until pred holds, up to the time; its last answer.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 20000);
// The first visible top-level window of the thread that pred accepts; null
// when none comes in time.
HWND WaitForWindow(DWORD thread, const std::function<bool(HWND)>& pred, int timeoutMs = 20000);

// A click on a button, without waiting for what it starts (a box, a run).
void Click(HWND dialog, int id);
void SetText(HWND dialog, int id, const std::string& text);
std::string TextOf(HWND window);
std::string ItemText(HWND dialog, int id);
std::string ClassOf(HWND window);

// What the screen shows in a rectangle (screen coordinates).
Image CaptureScreen(const RECT& rect);
// What the screen shows of a window once it has painted itself anew.
Image CaptureWindow(HWND window);
// What a window has drawn of itself, frame included, whatever lies above it.
Image CaptureWindowDrawing(HWND window);
// Saves a screenshot as a bitmap file under build/windows/screenshots/
// (beside the test programs); the file's path, or "" when it could not be
// written.
std::string SaveScreenshot(const Image& image, const std::string& name);

// HKEY_CLASSES_ROOT\Software\Brankor\KORA, removed again (with
// Software\Brankor) when the object goes.
class HostKey {
 public:
  HostKey();
  ~HostKey();
  HostKey(const HostKey&) = delete;
  HostKey& operator=(const HostKey&) = delete;
  void SetDword(const char* name, DWORD value);
  void SetString(const char* name, const std::string& value);
  // The value as a number; -1 when it is missing or not a REG_DWORD.
  long long ReadDword(const char* name);
  void Delete(const char* name);
  static void RemoveAll();

 private:
  HKEY key_ = nullptr;
};

bool IsMainDialog(HWND window);
bool IsAboutBox(HWND window);
// The English language file that ships with the program: its path, its text.
std::string LanguagePath();
std::string TestLanguage();

// The program's whole start-up, in a current folder of its own that holds
// the language file given (none when the text is empty), on the host as the
// registry shows it.
class ProgramRun {
 public:
  explicit ProgramRun(const std::string& language);
  ~ProgramRun();
  GuiSession& session() { return *session_; }
  bool result() const { return result_; }  // what InitInstance returned

 private:
  TempDir dir_;
  std::string previousFolder_;
  bool result_ = true;
  std::unique_ptr<GuiSession> session_;
};

// The program on a supported host whose resource base is resBase, with the
// tests' language file unless another text is given; the main dialog open.
class ProgramSession {
 public:
  explicit ProgramSession(const std::string& resBase, const std::string& language = TestLanguage());

  HWND dialog() const { return dialog_; }
  GuiSession& session() { return run_->session(); }
  HostKey& host() { return host_; }

 private:
  HostKey host_;
  std::unique_ptr<ProgramRun> run_;
  HWND dialog_ = nullptr;
};

}  // namespace zet::test
