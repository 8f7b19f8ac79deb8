// What a stop signal (Ctrl+C, a closed terminal, SIGTERM) does when the
// event loop cannot take it: the main thread held before the loop runs
// (making the copies, loading the plug-in) or inside one of its turns. The
// handler itself then removes the copies this start made and ends the
// process; all it needs is set up beforehand, so that it only looks at
// files, removes them and writes, as a handler may.
#pragma once

#include <string>

// Remembers a copy just made, by its name and by the file it is now, so
// that only that file is removed (never one put in its place since).
void RecordCopyForStop(const std::string& path);

// While a copy is being made (its name claimed, its temporary file being
// written), a first stop signal waits for it: the handler cannot know that
// copy's files yet. `EndCopyMaking` then carries out a stop that waited. A
// second signal does not wait (a source that never answers).
void BeginCopyMaking();
void EndCopyMaking();
// From a signal handler: true when the signal is kept for `EndCopyMaking`.
bool DeferStopWhileMaking(int signal);

// The line written once the copies are gone.
void SetStopLine(const std::string& line);

// From a signal handler: unless `keep`, removes every copy recorded, writes
// the line (or, for each copy that could not be removed, its name), and
// ends the process with `status`. Only async-signal-safe calls.
[[noreturn]] void StopFromHandler(int status, bool keep);
