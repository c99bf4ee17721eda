// StringList: an owning array of heap-allocated SharedStrings. Copying a list gives new string
// objects that share the source strings' buffers.
#pragma once

#include "common/ptr_array.h"
#include "common/shared_string.h"

class StringList : public OwningPtrArray<SharedString> {
 public:
  StringList() = default;
  StringList(const StringList& other) : OwningPtrArray<SharedString>() { *this = other; }
  StringList& operator=(const StringList& other);

  using OwningPtrArray<SharedString>::Append;
  // Appends a new string sharing text's buffer. 0, or -1 when the list cannot grow.
  int Append(const SharedString& text) { return Append(new SharedString(text)); }

  // The string at index; the empty string outside the list (or for a null slot).
  const SharedString& Get(int index) const;
};
