#pragma once
// The show text: whitespace-separated tokens whose meaning comes from their
// position alone (any word stands where a keyword stands). Reader and writer
// agree token by token and in the numeric type of every field.
#include <iosfwd>

#include "show_engine/show.h"

// Reads one show into an emptied show. The stream is checked after every
// token: at the first failure reading stops, only complete records are kept
// (a cue or cue list cut short is dropped) and the stream is left failed.
// No loop runs on a count that was not read, and no space is reserved from
// a count, so a bad count costs nothing beyond the text itself.
std::istream& ReadShow(std::istream& in, Show& show);
// One cue list from its "Cues" keyword on; appends only complete entries.
std::istream& ReadCuelist(std::istream& in, Cuelist& cuelist);

std::ostream& WriteShow(std::ostream& out, const Show& show);
std::ostream& WriteCuelist(std::ostream& out, const Cuelist& cuelist);
std::ostream& WriteCue(std::ostream& out, const Cue& cue);
