// The live log: timestamped lines that the host and the plug-in write while
// a person or the live check (scripts/live-check) runs them on a real
// display, so that the check can read when the event loop turned, which
// windows showed, when a picture was first painted and when a preview was
// loaded. Off unless the environment variable VMK_LIVE_LOG names a file;
// then every line is appended to it whole (one write), prefixed with the
// monotonic clock in milliseconds, the clock the check's own timings use.
// The host and the plug-in module each carry a copy of this file and write
// to the same file by name.
#pragma once

#include <cstdarg>

namespace plat::hostapi {

// True when VMK_LIVE_LOG names a file that could be opened.
bool LiveLogOn();
// The monotonic clock in milliseconds.
double LiveClockMs();
// "<ms> " followed by the formatted text and a newline; nothing when off.
void LiveLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Closes the file and reads the variable again (tests of the log itself).
void ResetLiveLog();

}  // namespace plat::hostapi
