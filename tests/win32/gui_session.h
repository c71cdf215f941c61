#pragma once
// Driving the program's real windows from a test. A GuiSession runs a body
// (the whole start-up, or one dialog) on a thread of its own, the way the
// program runs it on its main thread; the test drives it from outside with
// messages, as a user would with mouse and keyboard. Message boxes of that
// thread are caught by a window hook when they appear, with their texts,
// icon and owner, and stay open until the test closes them.

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "png_file.h"
#include "running_copy.h"
#include "test_support.h"

namespace zet::test {

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
  GuiSession(const GuiSession&) = delete;
  GuiSession& operator=(const GuiSession&) = delete;

  DWORD threadId() const { return threadId_; }

  // The next message box that appeared and was not yet taken. A box with an
  // empty window when none comes within the time.
  CaughtBox WaitForBox(int timeoutMs = 20000);
  // True when no box appears within the time.
  bool NoBoxWithin(int ms);
  // Presses the box's OK button.
  static void CloseBox(const CaughtBox& box);

  // The first visible top-level window of the body's thread that our
  // dialog layer drives and pred accepts; null when none comes in time.
  HWND WaitForDialog(const std::function<bool(HWND)>& pred, int timeoutMs = 20000);

  bool WaitForEnd(int timeoutMs = 20000);
  bool ended() const;

 private:
  static LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam);
  void Closeall();

  std::thread thread_;
  DWORD threadId_ = 0;
  mutable std::mutex mutex_;
  std::vector<CaughtBox> boxes_;
  std::vector<HWND> seen_;
  size_t taken_ = 0;
  bool ended_ = false;
};

// Waits until pred holds, up to the time; its last answer.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 20000);

// Sends a click to a button, without waiting for what the click starts
// (a message box, a run).
void Click(HWND dialog, int id);
// Sets the text of a dialog's control.
void SetText(HWND dialog, int id, const std::string& text);
std::string TextOf(HWND window);
std::string ItemText(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);

// What the screen shows of a window, title bar included.
Image CaptureWindow(HWND window);
// What the screen shows in a rectangle (screen coordinates), as it is.
Image CaptureScreen(const RECT& rect);
// What a window has drawn of itself, frame included, whatever lies above
// it on the screen.
Image CaptureWindowDrawing(HWND window);
// Saves a screenshot under build/windows/screenshots/ (beside the test
// programs); the file's path, or "" when it could not be written.
std::string SaveScreenshot(HWND window, const std::string& name);
std::string SaveScreenshot(const Image& image, const std::string& name);

// HKEY_CLASSES_ROOT\Software\Brankor\KORA in the registry, removed again
// (with Software\Brankor) when the object goes.
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

// The process's current folder, set for the object's life.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& folder);
  ~CurrentFolder();

 private:
  std::string previous_;
};

// The dialogs of our dialog layer.
bool IsMainDialog(HWND window);
bool IsAboutBox(HWND window);

// The program started in a folder with a language file (the tests' one
// unless another text is given), on a supported host whose resource base
// is resBase; the main dialog open.
class ProgramSession {
 public:
  explicit ProgramSession(const std::string& resBase, const std::string& language = "");
  ~ProgramSession();
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;

  HWND dialog() const { return dialog_; }
  GuiSession& session() { return *session_; }
  HostKey& host() { return host_; }

  // Enters the folders and clicks OK; the box that follows.
  CaughtBox Confirm(const std::string& source, const std::string& target);

 private:
  HostKey host_;
  TempDir dir_;
  std::unique_ptr<CurrentFolder> folder_;
  std::unique_ptr<GuiSession> session_;
  HWND dialog_ = nullptr;
};

}  // namespace zet::test
