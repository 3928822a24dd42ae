#pragma once
// The two ways the engine ends: a fatal log, and ctrl-c.

// Failure function of the logging library: leaves an empty /tmp/panic.dat
// for the front end and ends the process with status 1.
__attribute__((noreturn)) void WritePanicFile();

// SIGINT: a line on standard output and status 0.
void SigIntHandler(int signalNumber);
