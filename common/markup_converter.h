// MarkupConverter: HTML-like caption markup to plain text.
//
// Feed scans the text: runs of white space and control bytes collapse into one space; each
// complete tag (from '<' to '>', lowercased) goes to HandleTag, which by default turns line and
// paragraph tags into line breaks, list items and table cells into "- " on a new line, and any
// other tag into a space between words. GetText then decodes the character references into
// the ANSI code page and trims the result. Subclasses react to particular tags by overriding
// HandleTag and may append to `output` there.
#pragma once

#include <string>

#include "common/shared_string.h"

class MarkupConverter {
 public:
  MarkupConverter() = default;
  virtual ~MarkupConverter() = default;

  // Empties the output, then converts the whole text (a tag left open at the end is dropped).
  void Feed(const char* text);
  // The output with references decoded ("&nbsp;" as a space; characters the ANSI code page
  // lacks as '?'; an '&' with no ';' after it kept as it is), trimmed at both ends.
  SharedString GetText() const;
  virtual int HandleTag(const char* tag);

  // True when tag is "<" + name followed by '>', ' ' or '/': "<p class=x>" is the tag p,
  // "<pre>" is not.
  static bool IsTag(const char* tag, const char* name);
  // The value of attribute `name` in tag (" name=" must occur, case-sensitive): quoted values
  // end at the matching quote, unquoted ones at a space (keeping a final '>'). Empty if absent.
  static SharedString GetAttribute(const char* tag, const char* name);

 protected:
  SharedString output;

 private:
  void AppendByte(char c);
  void Flush();
  char LastByte() const;
  std::string m_pending;  // bytes not yet moved to output (output is current inside HandleTag)
  char m_outputLast = 0;  // last byte of output as of the last flush
};
