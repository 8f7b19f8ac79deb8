// What a stop signal (Ctrl+C, Ctrl+\, a closed terminal, SIGTERM) takes
// away, and when it may. Everything this start makes in the file system is
// recorded as it is made: the folders made for the copies, each copy's
// claimed name and the file it became (again after every write-back, which
// puts a new file in its place), and every temporary file that a
// replacement of the host's or of the plug-in module's makes. Each is held
// by a descriptor, so that its inode stays in use and the file system
// cannot give its number to a file the user puts at that name; a file is
// removed only while its name still holds that inode, through a private
// name that no rename of another program's can race (race_free_removal.h).
// The record is read by a signal handler, so it is built before the
// handlers are set and changed only inside a `Change`, which a stop waits
// for; the handler makes no call that is not async-signal-safe.
//
// The same record is written to this run's record file (run_record.h)
// before each thing's name appears, and each exchange of a temporary file's
// name with a copy's before it is made, so that a later start can take away
// what this run leaves if it is killed outright or crashes, and give back a
// name it had taken from the user's file; and what runs before it left that
// way is put right when it starts.
#pragma once

#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include "platform/files/file_io.h"

namespace stops {

// Holds a stop off while the record and the file system change together:
// the stop signals are blocked on this thread, and a stop taken on another
// thread waits for the change to end. Once a removal is under way a change
// waits for it (for ever when it is a stop's, which ends the process).
class Change {
 public:
  Change();
  ~Change();
  Change(const Change&) = delete;
  Change& operator=(const Change&) = delete;
};

// The signals that stop a run.
inline constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Takes away what earlier runs that were killed or crashed left (as their
// record files in `records` say), then starts this run's record there.
// Lines on what could not be put right are added to `notes`. Called before
// anything is made.
void BeginRecord(const std::string& records, std::vector<std::string>* notes);
// The run has said what it leaves: its record file goes.
void EndRecord();

// One file or folder this start made.
struct Made;
// Records the file or folder `path` (inside a Change): the file `fd` is
// open on, which may have no name yet (-1: the one the name holds now),
// held, and written down for later starts.
Made* RecordMade(const std::string& path, int fd, bool folder);
// Takes a file just made away again (inside a Change): removed while its
// name still holds it, and recorded no longer.
void TakeBack(Made* made);
// The copy `made` is whole, as the host made it: a later start removes it
// only while it is so.
void CopyWhole(Made* made);
// Where the copy `made` is now (another name when the user's file took its
// name before its pixels were written).
std::string PathOf(const Made* made);
// The session ended confirmed: the copies are the user's, and no later
// start takes them.
void KeepCopies();

// The copies that a write-back changed since they were made (the edited
// versions), where they are now.
std::vector<std::string> WrittenBack();
// Each copy whose name held another file when a write-back came (the
// user's, put there meanwhile): the name it had, and the name the written
// file got instead.
std::vector<std::pair<std::string, std::string>> Moved();
// A file of someone else's that a write-back left at its temporary file's
// name: where it is (`at`), and the copy's name (`name`). Either the file
// that had taken that name and could not go back there (`error` says why;
// EEXIST: yet another file had taken it meanwhile), or (`cameAfter`) one
// that took the name while the write-back had it, the file before it being
// back at the name.
struct Stranded {
  std::string at;
  std::string name;
  bool cameAfter = false;
  int error = 0;
};
std::vector<Stranded> StrandedFiles();

// The watch of the temporary files of replacements, for the host's own file
// layer and the plug-in module's.
const plat::files::TemporaryWatch* TemporaryWatch();

// The line a stop writes when everything recorded is gone; also makes ready
// the words a handler needs to say why something stays. Called before the
// handlers are set.
void SetStopLine(const std::string& line);

// The run's outcome is decided on the main thread: from now on a stop
// signal changes nothing, and what the run then says is what it leaves.
// Does not return while a stop is removing what was made (it ends the
// process).
void Settle();
// True until the outcome is settled or a stop has begun.
bool Open();
// A stop taken from the event loop: true when it is this caller's to make
// (nothing settled); false once the outcome is settled. Does not return
// while another stop is removing.
bool BeginStop();

// Removes everything recorded that its name still holds (temporary files,
// then the copies, then the folders, innermost first; a folder that holds
// anything else stays, silently). Each that stays for another reason is
// added to `left` as "the editable copy PATH: why" (or "the temporary
// file ...", "the folder ..."). Call once the outcome is settled or a stop
// has begun.
void RemoveRecorded(std::vector<std::string>* left);

// From a signal handler: unless the outcome is settled or another stop has
// begun (then it returns), removes everything recorded, writes the stop
// line (or, for each thing that stays, a line naming it) and ends the
// process with status 128 + `signal`.
void StopFromHandler(int signal);

// For tests of what a stop does at a given moment: with
// VMK_TEST_HOLD=POINT:FILE in the environment, the run holds at POINT
// ("claim": a copy's name just claimed, before its pixels are written;
// "copy": a copy's own temporary file is named, before its pixels are
// written, stops let through; "copies": every copy made, before the
// plug-in is loaded; "swap": a write-back (or a copy's pixels) found a file
// of someone else's at the copy's name and is about to give the name back
// to it, stops held off; "loop": the plug-in has read the first version and
// shows its window, before the event loop runs; "turn": the event loop
// runs (inside the effect's dialog when one was asked for), so that the
// loop takes a stop once it goes on; "write": OK's write-back has named its
// temporary file, before its pixels are written, stops let through;
// "exit": main has returned) until FILE, which it makes there, is removed,
// for at most a minute; several points are separated by commas. Anywhere
// else, and without the variable, it does nothing.
void HoldForTest(const char* point);

}  // namespace stops
