#pragma once
// The show player: 24 times a second the shared show engine computes a frame
// and every show-playing generator stream receives it.
class DmxEngine;
class Stream;

bool IsShowPlayingStream(const Stream& stream);
bool IsOscDrivenStream(const Stream& stream);

// The engine behind the show-playing streams, or null when there is none
// (yet): OSC playback commands then have nothing to act on.
DmxEngine* ShowPlayingEngine();

// One walk of the player over StreamTable. All show-playing streams share one
// engine, so the engine advances one frame per walk, on the first such
// stream, and the others receive that same frame: show time runs at 24
// frames per second however many streams play it.
void PlayShowFrame();

// Thread body: PlayShowFrame, then 41666 us, for ever; once the
// std::atomic<bool> it is handed says the configuration is read, and no
// stream plays a show, it sleeps for good.
void* VistroProThread(void* configurationRead);
