#pragma once

#include <QString>

// Durations in seconds that players and scripts give as text: wait() and
// #setTimer. Read leniently ("1.5s" is 1.5, text without a number is 0) but
// always with a full stop as the decimal mark, whatever the user's locale,
// and kept between 0 and a day, so no delay overflows a clock and a script
// cannot sleep for ever. Any thread.
namespace MUDScriptSeconds {

inline constexpr double Maximum = 24.0 * 60.0 * 60.0;

double fromText(const QString& text);
// NaN and negative durations become 0; longer ones than Maximum become Maximum.
double clamped(double seconds);

}
