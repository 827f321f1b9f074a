#include "attribute_letters.h"

namespace winsim {

std::string AttributeLetters(DWORD a) {
  static const struct {
    DWORD flag;
    char letter;
  } kLetters[] = {
      {FILE_ATTRIBUTE_READONLY, 'R'}, {FILE_ATTRIBUTE_HIDDEN, 'H'},    {FILE_ATTRIBUTE_SYSTEM, 'S'},
      {FILE_ATTRIBUTE_ARCHIVE, 'A'},  {FILE_ATTRIBUTE_DIRECTORY, 'D'}, {FILE_ATTRIBUTE_REPARSE_POINT, 'L'},
  };
  std::string s;
  for (const auto& l : kLetters)
    if (a & l.flag) s += l.letter;
  return s.empty() ? "-" : s;
}

}  // namespace winsim
