#pragma once

// A run is stopped in order by its first SIGINT (Ctrl-C), SIGTERM or SIGHUP
// (what a job controller sends): the operation in hand ends at its next
// check (the transfer between blocks, the erase after the pass in hand, an
// init list within a delay), the post-list runs and the connection is
// ended, no further step starts, the --json stream gets its records and
// summary, and the run exits with 128 + the signal's number. A second
// signal, or one while no run is armed, ends the program at once (its
// memory image removed, with the note set by CliInterruptSetExitNote).

// While armed, the first of those signals is a stop request.
void CliInterruptArm(bool armed);
bool CliInterruptRequested();
// The signal that asked for the stop (0: none yet).
int CliInterruptSignal();
// The exit code of a stopped run: 128 + the signal (130 when none came,
// as for a stop passed on by a gang's parent).
int CliStopExitCode();
// Whether `code` is the exit code of a stopped run.
bool CliIsStopExit(int code);
// Called from the signal handler: true when the signal was taken as a stop
// request (the program goes on), false when the program must end now.
bool CliInterruptTake(int signal);
// A stop request however the interrupt stands (a gang's probe process, where
// every signal is the same one request).
void CliInterruptRequest(int signal);
// A text written to stderr when a signal ends the program at once (what
// such an end leaves behind and how to mend it); empty for none. Kept in a
// fixed buffer the handler may read.
void CliInterruptSetExitNote(const char* text);
// Writes the note (from the handler: plain system calls only).
void CliInterruptWriteExitNote();
