#pragma once
// Which system the program runs on, as one small code. The menu look draws
// its own shadow on systems older than XP (code below 8), and on every
// system that reports a version after 5.1, whose code is 5.

#include <windows.h>

namespace zet {

constexpr int kWindowsXPCode = 8;

// The code of a version record: Windows-9x family 3 (4.10), 4 (4.90), else
// 2; NT family 6 (4.x), 7 (5.0), 8 (5.1), else 5; any other platform 1.
int WindowsVersionCodeOf(DWORD platformId, DWORD major, DWORD minor);

// The code of the running system, queried once and kept; 0 (and asked
// again next time) when the system does not answer.
int GetWindowsVersionCode();

// Tests: the query that GetWindowsVersionCode asks (null: the system's),
// with the kept code forgotten.
using WindowsVersionQuery = BOOL(WINAPI*)(OSVERSIONINFOA*);
void SetWindowsVersionQuery(WindowsVersionQuery query);

}  // namespace zet
