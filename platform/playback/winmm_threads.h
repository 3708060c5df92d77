// The threads winmm runs for this process, as seen from outside winmm.
//
// Wine's winmm plays every device from a thread of its own, which it ends a
// moment after the last device is closed, once waveOutClose has returned. A
// process that exits while that thread is still ending can be killed by Wine
// itself: its exit tells the thread, by then half gone, to end again, and the
// thread faults in Wine's handler (SIGSEGV for the whole process, seen about
// once in 300 exits of the player). The waveOut output therefore waits for
// those threads after closing the device, under Wine only; Windows is left as
// it is.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

namespace winmm_threads {

// True when the program runs under Wine (its ntdll says so).
bool UnderWine();

// The threads of this process, other than the calling one, that started in
// winmm, opened for waiting and querying; the caller closes the handles.
std::vector<HANDLE> Open();

// Waits at most `limit_ms` for every thread of `threads` to end, then closes
// their handles and empties the list.
void WaitForEnd(std::vector<HANDLE>& threads, DWORD limit_ms);

}  // namespace winmm_threads
