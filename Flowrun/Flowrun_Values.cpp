#include "Flowrun_Values.h"

#include "Corekit/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

namespace Deskbay {

namespace {

constexpr int FormatPrecision = 10;
// Fixed notation for decimal exponents in [FixedMinExponent, FormatPrecision).
constexpr int FixedMinExponent = -5;

// How much of a typed text an error message quotes, in characters.
constexpr size_t MaxQuotedChars = 40;

// Text cut after MaxQuotedChars characters (a malformed byte counts as one)
// with "…" to show that more followed.
std::string Quoted(const std::string& S) {
  size_t At = 0;
  for (size_t Chars = 0; At < S.size(); ++Chars) {
    if (Chars == MaxQuotedChars)
      return S.substr(0, At) + "…";
    char32_t C;
    const size_t Len = DecodeUtf8(S, At, C);
    At += Len ? Len : 1;
  }
  return S;
}

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

std::string AlgInputRefusal(const std::string& S) {
  try {
    AlgStrToFloat(S);
    return std::string();
  } catch (const Exception& E) {
    std::string Reason = E.Message();
    if (S.find(',') != std::string::npos) {
      std::string WithPoint = Trim(S);
      std::replace(WithPoint.begin(), WithPoint.end(), ',', '.');
      bool Number = WithPoint.size() <= 40;
      if (Number) {
        try {
          AlgStrToFloat(WithPoint);
        } catch (const Exception&) {
          Number = false;
        }
      }
      Reason += "\nДробную часть отделяйте точкой: " + (Number ? WithPoint : std::string("2.5"));
    }
    return Reason;
  }
}

long double AlgStrToFloat(const std::string& S) {
  const auto Fail = [&S]() {
    return Exception(Format("\"%s\" не является числом.", Quoted(S).c_str()));
  };
  std::string T = Trim(S);
  size_t I = 0;
  if (I < T.size() && (T[I] == '+' || T[I] == '-'))
    ++I;
  // from_chars takes no "+"; everything else it would accept beyond our
  // grammar (inf, nan, hex) is refused by the scan below.
  const size_t NumStart = !T.empty() && T[0] == '+' ? 1 : 0;
  int MantissaDigits = 0;
  bool SeenPoint = false;
  bool SeenSignificant = false;
  // The decimal magnitude of the mantissa: 10^(Magnitude-1) <= |m| < 10^Magnitude.
  long Magnitude = 0;
  for (; I < T.size(); ++I) {
    const char C = T[I];
    if (C >= '0' && C <= '9') {
      ++MantissaDigits;
      if (!SeenPoint && (SeenSignificant || C != '0'))
        ++Magnitude;
      else if (SeenPoint && !SeenSignificant && C == '0')
        --Magnitude;
      SeenSignificant = SeenSignificant || C != '0';
    } else if (C == '.' && !SeenPoint) {
      SeenPoint = true;
    } else {
      break;
    }
  }
  if (MantissaDigits == 0)
    throw Fail();
  long Exp = 0;
  if (I < T.size() && (T[I] == 'E' || T[I] == 'e')) {
    ++I;
    const bool NegativeExp = I < T.size() && T[I] == '-';
    if (I < T.size() && (T[I] == '+' || T[I] == '-'))
      ++I;
    const size_t ExpStart = I;
    for (; I < T.size() && T[I] >= '0' && T[I] <= '9'; ++I)
      if (Exp < 1000000) // far beyond any range; only the sign of the sum matters
        Exp = Exp * 10 + (T[I] - '0');
    if (I == ExpStart)
      throw Fail();
    if (NegativeExp)
      Exp = -Exp;
  }
  if (I != T.size())
    throw Fail();

  long double Value = 0;
  const char* First = T.data() + NumStart;
  const char* Last = T.data() + T.size();
  const auto Res = std::from_chars(First, Last, Value);
  if (Res.ptr != Last)
    throw Fail();
  // Too small to hold becomes 0, as the expression parser treats such a
  // number; only too large is no number.
  if (Res.ec == std::errc::result_out_of_range && Magnitude + Exp < 0)
    return T[0] == '-' ? -0.0L : 0.0L;
  // Stored as a double, a larger value would be infinity, which fails
  // only later, in some expression, without saying why.
  if (Res.ec != std::errc() || std::isinf(static_cast<double>(Value)))
    throw Fail();
  return Value;
}

} // namespace Deskbay
