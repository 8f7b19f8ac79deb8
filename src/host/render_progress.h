// The session's long renders (the layers of a confirmed effect over the
// whole image): the render runs on a worker thread under a cancel flag while
// the window's thread keeps its event loop. If it takes longer than a
// second, a small "Rendering" window shows the share done (the render's
// progress meter, platform/parallel/progress.h) and a Cancel button;
// Cancel or Esc raise the flag, the render stops at its next band or step,
// and its owner writes nothing back. Until the window shows, the event loop
// takes of the user's input only clicks on buttons, which their windows hold
// (the main window carries them out once the render is over), so nothing can
// start beside the render and no click is lost.
//
// Under the test driver's virtual clock the render runs in line, so that
// tests see the same sequence every time.
#pragma once

#include <cstdint>
#include <functional>

// What RunRenderWithProgress answers for a render the user stopped.
inline constexpr int32_t kRenderCancelled = -128;
// What it answers for a render that ran out of memory (std::bad_alloc on
// the render's thread or one of its helpers).
inline constexpr int32_t kRenderNoMemory = -129;

// Runs `render` and answers what it answered, kRenderCancelled, or
// kRenderNoMemory; any other exception from it answers -1. Nothing thrown
// by the render leaves this call.
int32_t RunRenderWithProgress(const std::function<int32_t()>& render);

// Stops the render in progress, as its Cancel button does; nothing when
// none runs. Window's thread.
void CancelRender();

// True while a render runs (its nested event loop still fires timers, which
// must not change the images it will write back). Window's thread.
bool RenderRunning();

// Called on the window's thread as each render starts (null: nothing); for
// tests and scripted runs that press Cancel.
void SetRenderStartWatcher(std::function<void()> watcher);

// Called with each new share of every later render (parts of
// plat::ProgressMeter::kWhole), on the thread that raised it, in the order
// the shares were taken (null: nothing); for tests that record a render's
// reports.
void SetRenderProgressWatcher(std::function<void(int32_t parts)> watcher);
