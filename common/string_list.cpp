#include "common/string_list.h"

StringList& StringList::operator=(const StringList& other) {
  if (this == &other) return *this;
  Clear();
  for (int i = 0; i < other.Count(); ++i) Append(other.Get(i));
  return *this;
}

const SharedString& StringList::Get(int index) const {
  static const SharedString* empty = new SharedString;
  const SharedString* s = At(index);
  return s ? *s : *empty;
}
