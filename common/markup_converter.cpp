#include "common/markup_converter.h"

#include <cctype>
#include <cstring>

#include "common/entity_table.h"
#include "common/text_convert.h"

void MarkupConverter::Flush() {
  if (!m_pending.empty()) {
    output += m_pending.c_str();
    m_pending.clear();
  }
}

char MarkupConverter::LastByte() const {
  if (!m_pending.empty()) return m_pending.back();
  return m_outputLast;
}

void MarkupConverter::AppendByte(char c) { m_pending.push_back(c); }

void MarkupConverter::Feed(const char* text) {
  output.Empty();
  m_pending.clear();
  m_outputLast = 0;
  if (!text) return;
  bool inTag = false;
  std::string tag;
  for (const char* p = text; *p; ++p) {
    const auto b = static_cast<unsigned char>(*p);
    if (!inTag) {
      if (b == '<') {
        tag.assign(1, '<');
        inTag = true;
      } else if (b <= 0x20) {
        if (LastByte() != ' ') AppendByte(' ');
      } else {
        AppendByte(static_cast<char>(b));
      }
      continue;
    }
    if (b == '>') {
      tag.push_back('>');
      Flush();
      HandleTag(tag.c_str());
      const int length = output.Length();
      m_outputLast = length > 0 ? output.c_str()[length - 1] : 0;
      inTag = false;
      continue;
    }
    const int lowered = std::tolower(b);
    tag.push_back(lowered < 0x20 ? ' ' : static_cast<char>(lowered));
  }
  Flush();
}

int MarkupConverter::HandleTag(const char* tag) {
  const int length = output.Length();
  const char last = length > 0 ? output.c_str()[length - 1] : 0;
  auto lineBreak = [&] {
    if (length > 0 && last != '\n') output += "\n";
  };
  if (IsTag(tag, "br")) {
    output += "\n";
    return 0;
  }
  static const char* const kBlocks[] = {"p",   "tl",     "/tl", "ul", "/ul", "ol",
                                        "/ol", "table", "/table", "tr", "th"};
  for (const char* name : kBlocks) {
    if (IsTag(tag, name)) {
      lineBreak();
      return 0;
    }
  }
  static const char* const kItems[] = {"td", "dd", "li"};
  for (const char* name : kItems) {
    if (IsTag(tag, name)) {
      lineBreak();
      output += "- ";
      return 0;
    }
  }
  if (length > 0 && static_cast<unsigned char>(last) > 0x20) output += " ";
  return 0;
}

bool MarkupConverter::IsTag(const char* tag, const char* name) {
  if (!tag || !name || tag[0] != '<') return false;
  const size_t n = std::strlen(name);
  if (std::strncmp(tag + 1, name, n) != 0) return false;
  const char next = tag[1 + n];
  return next == '>' || next == ' ' || next == '/';
}

SharedString MarkupConverter::GetAttribute(const char* tag, const char* name) {
  if (!tag || !name) return SharedString();
  std::string key = " ";
  key += name;
  key += '=';
  const char* found = std::strstr(tag, key.c_str());
  if (!found) return SharedString();
  const char* value = found + key.size();
  char terminator = ' ';
  if (*value == '"' || *value == '\'') terminator = *value++;
  const char* end = std::strchr(value, terminator);
  if (!end) return SharedString(value);
  return SharedString(value).Left(static_cast<int>(end - value));
}

SharedString MarkupConverter::GetText() const {
  // "&nbsp;" first, so that a no-break space never reaches the code page conversion.
  std::string text;
  for (const char* p = output.c_str(); *p;) {
    if (std::strncmp(p, "&nbsp;", 6) == 0) {
      text.push_back(' ');
      p += 6;
    } else {
      text.push_back(*p++);
    }
  }

  std::string result;
  size_t i = 0;
  while (i < text.size()) {
    const size_t amp = text.find('&', i);
    if (amp == std::string::npos) {
      result.append(text, i, std::string::npos);
      break;
    }
    result.append(text, i, amp - i);
    const size_t semi = text.find(';', amp);
    if (semi == std::string::npos) {
      result.append(text, amp, std::string::npos);
      break;
    }
    const std::string reference = text.substr(amp, semi - amp + 1);
    const SharedWString decoded = DecodeEntities(reference.c_str());
    result += ToNarrow(decoded, kModeAnsi).c_str();
    i = semi + 1;
  }
  SharedString trimmed(result.c_str());
  trimmed.TrimRight();
  trimmed.TrimLeft();
  return trimmed;
}
