#pragma once
// The engine keeps its tables and settings in process-wide globals. Every
// test starts and ends with them as the engine starts (no streams, ports or
// rules, empty unmatched table, zero identity, Klock off, real clock, no show
// engine, full grand master, normal speed): a listener resets them around
// each test, so fixtures clean up only what they own themselves.

// Deletes every stream and empties the stream and port tables (also for a
// test that rebuilds its streams between rows).
void ClearStreamTable();

// All of the process-wide state back to its start.
void ResetProcessState();
