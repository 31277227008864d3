#include "Flowrun_Values.h"

#include "Corekit/SysUtils.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

namespace Deskbay {

namespace {

constexpr int FormatPrecision = 10;
// Fixed notation for decimal exponents in [FixedMinExponent, FormatPrecision).
constexpr int FixedMinExponent = -5;

} // namespace

std::string AlgFormatValue(double Value) {
  if (std::isnan(Value))
    return "NAN";
  if (std::isinf(Value))
    return Value < 0 ? "-INF" : "INF";
  if (Value == 0)
    return "0";

  // to_chars rounds correctly and never consults the locale; the exponent is
  // read after rounding, so 9999999999.7 switches to 1E10 as it should.
  char Buf[40];
  const auto Res = std::to_chars(Buf, Buf + sizeof Buf, Value, std::chars_format::scientific,
                                 FormatPrecision - 1);
  const std::string_view Text(Buf, static_cast<size_t>(Res.ptr - Buf));
  const bool Negative = Text.front() == '-';
  const size_t EPos = Text.find('e');
  std::string Digits;
  for (char C : Text.substr(Negative ? 1 : 0, EPos - (Negative ? 1 : 0)))
    if (C != '.')
      Digits += C;
  while (Digits.size() > 1 && Digits.back() == '0')
    Digits.pop_back();
  int Exp = 0;
  const std::string_view ExpText = Text.substr(EPos + 1); // "+NN" or "-NN"
  for (char C : ExpText.substr(1))
    Exp = Exp * 10 + (C - '0');
  if (ExpText.front() == '-')
    Exp = -Exp;

  std::string Result = Negative ? "-" : "";
  if (Exp >= FormatPrecision || Exp < FixedMinExponent) {
    Result += Digits[0];
    if (Digits.size() > 1) {
      Result += '.';
      Result.append(Digits, 1);
    }
    Result += 'E';
    Result += std::to_string(Exp);
  } else if (Exp >= 0) {
    const size_t IntLen = static_cast<size_t>(Exp) + 1;
    if (Digits.size() <= IntLen) {
      Result += Digits;
      Result.append(IntLen - Digits.size(), '0');
    } else {
      Result.append(Digits, 0, IntLen);
      Result += '.';
      Result.append(Digits, IntLen);
    }
  } else {
    Result += "0.";
    Result.append(static_cast<size_t>(-Exp - 1), '0');
    Result += Digits;
  }
  return Result;
}

long double AlgStrToFloat(const std::string& S) {
  const auto Fail = [&S]() { return Exception(Format("\"%s\" не является числом.", S.c_str())); };
  std::string T = Trim(S);
  size_t I = 0;
  if (I < T.size() && (T[I] == '+' || T[I] == '-'))
    ++I;
  // from_chars takes no "+" and only "."; everything else it would accept
  // beyond our grammar (inf, nan, hex) is refused by the scan below.
  const size_t NumStart = !T.empty() && T[0] == '+' ? 1 : 0;
  int MantissaDigits = 0;
  bool SeenPoint = false;
  for (; I < T.size(); ++I) {
    const char C = T[I];
    if (C >= '0' && C <= '9') {
      ++MantissaDigits;
    } else if ((C == '.' || C == ',') && !SeenPoint) {
      SeenPoint = true;
      T[I] = '.';
    } else {
      break;
    }
  }
  if (MantissaDigits == 0)
    throw Fail();
  if (I < T.size() && (T[I] == 'E' || T[I] == 'e')) {
    ++I;
    if (I < T.size() && (T[I] == '+' || T[I] == '-'))
      ++I;
    const size_t ExpStart = I;
    while (I < T.size() && T[I] >= '0' && T[I] <= '9')
      ++I;
    if (I == ExpStart)
      throw Fail();
  }
  if (I != T.size())
    throw Fail();

  long double Value = 0;
  const char* First = T.data() + NumStart;
  const char* Last = T.data() + T.size();
  const auto Res = std::from_chars(First, Last, Value);
  if (Res.ec != std::errc() || Res.ptr != Last)
    throw Fail();
  return Value;
}

} // namespace Deskbay
