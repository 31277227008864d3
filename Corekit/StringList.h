#pragma once

// A list of text lines that tells its owner of every change.

#include "SysUtils.h"

#include <functional>
#include <string>
#include <vector>

namespace Deskbay {

class COREKIT_API TStringList : public TObject {
public:
  const char* ClassName() const override { return "TStringList"; }

  int GetCount() const { return static_cast<int>(FLines.size()); }
  const std::string& Get(int Index) const;
  void Put(int Index, const std::string& S);
  int Add(const std::string& S);
  void Insert(int Index, const std::string& S);
  void Delete(int Index);
  void Clear();
  void Assign(const TStringList& Source);
  void SetLines(const std::vector<std::string>& Lines);
  const std::vector<std::string>& Lines() const { return FLines; }

  // Lines joined with "\r\n" after each one; setting splits at CR, LF or CRLF.
  std::string GetText() const;
  void SetText(const std::string& Text);

  // Changes between the two calls fire OnChange once, at the outermost end.
  void BeginUpdate();
  void EndUpdate();

  TNotifyEvent OnChange;

private:
  void CheckIndex(int Index, bool AllowEnd) const;
  void Changed();

  std::vector<std::string> FLines;
  int FUpdateCount = 0;
  bool FChangedInUpdate = false;
};

} // namespace Deskbay
