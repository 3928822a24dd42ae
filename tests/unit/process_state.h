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

#include <cstdint>
#include <memory>
#include <string_view>

class Stream;

// A stream as the configuration reader builds it from the text after a
// line's letter: neither started nor stored.
std::unique_ptr<Stream> BuildStream(uint32_t kind, std::string_view text);
// The same, started (device opened, show loaded) and stored at the end of
// the table, without a port thread.
Stream* AddStream(uint32_t kind, std::string_view text);
