// The program's one way to print. Each call hands one whole buffer to stdio
// and flushes it, so a line never tears and the two streams keep their
// order; and a transient status line is erased before anything else shows.
#pragma once

#include <string>

namespace quave {

void out_text(const std::string& text);  // standard output, as is
void err_text(const std::string& text);  // standard error, as is
inline void out_line(const std::string& line) { out_text(line + "\n"); }
inline void err_line(const std::string& line) { err_text(line + "\n"); }
// Flushes standard output, then standard error.
void flush_both();

// A transient line on standard error, for a terminal only: each call draws
// over the last, and any other output first erases it, so that the screen
// reads at the end as if it had never been there.
void status_text(const std::string& text);
void clear_status();

}  // namespace quave
