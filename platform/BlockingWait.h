#pragma once

// Waits ms milliseconds on the user-interface thread while timers, socket events and other
// queued events keep running; user input (mouse, keys) waits until the wait is over. The
// wait is a local event loop ended by a precise single-shot timer.
//
// While any such wait runs, BlockingWaitBusy() is true: command handlers that start an
// exchange check it and do nothing, so that no second exchange starts inside the first.
void BlockingWait(int ms);
bool BlockingWaitBusy();
