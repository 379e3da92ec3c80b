#pragma once

// Ctrl-C during a target operation asks it to stop: the transfer stops
// between blocks, the erase between polls, the post-list runs and the
// connection is ended; the run then ends with kExitInterrupted. A second
// Ctrl-C, or one while no target operation runs, ends the program at once
// (its memory image removed).

// While armed, the first SIGINT is a stop request.
void CliInterruptArm(bool armed);
bool CliInterruptRequested();
// Called from the signal handler: true when the signal was taken as a stop
// request (the program goes on), false when the program must end now.
bool CliInterruptTake();
// A stop request however the interrupt stands (a gang's probe process, where
// every Ctrl-C is the same one request).
void CliInterruptRequest();
