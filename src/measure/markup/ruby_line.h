// Most lines of a novel that hold any markup hold nothing but ruby: a bar
// now and then and readings in 《》. Such a line is read here in one pass
// from trigger to trigger, without the general reading's per-piece
// bookkeeping; a line with any other markup is left to the notation's own
// reading, which reads ruby by the same rules.
#pragma once

#include "measure/markup/line_filter.h"
#include "measure/markup/scan.h"

namespace velto::measure::markup {

// What a notation makes of the characters around a bar and a 《 beyond the
// ruby that the Aozora and the web notation share.
struct RubyLineRules {
  // A bar just before 《 writes the bracket as text, and 《《 opens emphasis
  // dots: markup of its own, which the notation's own reading reads.
  bool escapes_and_emphasis = false;
};

// Rebuilds the line that line has read, which holds a trigger, into base
// (cleared for it) as the notation's own reading would, when its triggers
// are all bars and 《 that the rules leave to ruby. False when the line
// holds other markup; base must then be cleared for the notation's
// reading.
//
// Where base wants no places of ruby and the processor has AVX-512 VBMI2,
// a line of plain ruby is read whole: its text is the line without a mask
// of bytes, which one instruction drops from each 64 bytes.
bool ReadRubyLine(const TriggerScanner& line, RubyLineRules rules, BaseText& base);

}  // namespace velto::measure::markup
