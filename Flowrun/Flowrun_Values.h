#pragma once

// How values look to the user: the one display text of a number (console
// output, watch list) and the conversion of typed input. Both ignore the
// process locale, so an algorithm prints the same on every machine.

#include "FlowrunExport.h"

#include <string>

namespace Deskbay {

// General format with 10 significant digits, "." as the decimal point, no
// trailing zeros and no trailing point. Fixed notation while the decimal
// exponent of the rounded value lies in -5..9 (0.00001 up to 9999999999);
// scientific notation outside, written as mantissa, "E", an optional "-" and
// the exponent without leading zeros: 1E20, -2.5E-7. Zero of either sign is
// "0"; infinities and NaN are "INF", "-INF" and "NAN".
FLOWRUN_API std::string AlgFormatValue(double Value);

// The number in S: blanks (code 32 or less) around it are ignored, then an
// optional sign, digits with at most one decimal point, at least one digit,
// and an optional exponent "E" or "e" with an optional sign and at least one
// digit. Anything else, or a number too large for a double (the precision
// variables are stored in), raises Exception "\"S\" не является числом."
// with S as given, cut to its first 40 characters and "…" when longer; a
// number too small for it is 0. The decimal point is ".", the one the shell
// fixes for the whole process, so "3,5" is no number, as it is not in an
// expression either.
FLOWRUN_API long double AlgStrToFloat(const std::string& S);

// Why an answer typed into the input dialog is no number: AlgStrToFloat's
// message, and for a decimal comma the hint to use the point (with the
// answer so written, when that is a number); empty when S is a number.
FLOWRUN_API std::string AlgInputRefusal(const std::string& S);

} // namespace Deskbay
