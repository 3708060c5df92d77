#include "platform/playback/winmm_threads.h"

#include <tlhelp32.h>

namespace winmm_threads {

namespace {

// NtQueryInformationThread and its class for a thread's start address
// (ThreadQuerySetWin32StartAddress), taken from ntdll at run time.
using QueryThread = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kThreadStartAddress = 9;

FARPROC FromNtdll(const char* name) {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr ? GetProcAddress(ntdll, name) : nullptr;
}

// The module holding `address`, or null.
HMODULE ModuleOf(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCWSTR>(address), &module))
    return nullptr;
  return module;
}

}  // namespace

bool UnderWine() { return FromNtdll("wine_get_version") != nullptr; }

std::vector<HANDLE> Open() {
  std::vector<HANDLE> threads;
  HMODULE winmm = GetModuleHandleW(L"winmm.dll");
  // Through void*: GetProcAddress's type stands for any function's.
  const auto query = reinterpret_cast<QueryThread>(reinterpret_cast<void*>(FromNtdll("NtQueryInformationThread")));
  if (winmm == nullptr || query == nullptr) return threads;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return threads;

  const DWORD process = GetCurrentProcessId();
  const DWORD self = GetCurrentThreadId();
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != process || entry.th32ThreadID == self) continue;
    HANDLE thread = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
    if (thread == nullptr) continue;  // ended meanwhile
    void* start = nullptr;
    if (query(thread, kThreadStartAddress, &start, sizeof start, nullptr) == 0 && ModuleOf(start) == winmm) {
      threads.push_back(thread);
    } else {
      CloseHandle(thread);
    }
  }
  CloseHandle(snapshot);
  return threads;
}

void WaitForEnd(std::vector<HANDLE>& threads, DWORD limit_ms) {
  const ULONGLONG deadline = GetTickCount64() + limit_ms;
  for (HANDLE thread : threads) {
    const ULONGLONG now = GetTickCount64();
    WaitForSingleObject(thread, now < deadline ? static_cast<DWORD>(deadline - now) : 0);
    CloseHandle(thread);
  }
  threads.clear();
}

}  // namespace winmm_threads
