#include "plot/vtk/xml.hpp"

#include <cstdint>

namespace pz {

namespace {

// Length of the UTF-8 sequence at s[0..n) when it is a valid one, else 0.
std::size_t utf8_length(const unsigned char* s, std::size_t n) {
  const unsigned char c = s[0];
  std::size_t len;
  std::uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F;
  else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4) len = 4, cp = c & 0x07;
  else return 0;
  if (n < len) return 0;
  for (std::size_t i = 1; i < len; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (s[i] & 0x3F);
  }
  const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
  const bool invalid = cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF;
  return overlong || invalid ? 0 : len;
}

template <class Sink>
void xml_escape(std::string_view text, Sink&& sink) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    if (c >= 0x80) {
      const std::size_t len = utf8_length(s + i, n - i);
      if (len == 0) {
        sink("?");
        ++i;
      } else {
        sink(std::string_view(text.data() + i, len));
        i += len;
      }
      continue;
    }
    switch (c) {
      case '&': sink("&amp;"); break;
      case '<': sink("&lt;"); break;
      case '>': sink("&gt;"); break;
      case '"': sink("&quot;"); break;
      case '\'': sink("&apos;"); break;
      case '\t': sink("&#9;"); break;
      default:
        if (c < 0x20 || c == 0x7F) sink("?");
        else sink(std::string_view(text.data() + i, 1));
    }
    ++i;
  }
}

}  // namespace

void put_xml_text(OutFile& out, std::string_view text) {
  xml_escape(text, [&](std::string_view s) { out.put(s); });
}

bool xml_can_hold(std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    if (s[i] >= 0x80) {
      const std::size_t len = utf8_length(s + i, text.size() - i);
      if (len == 0) return false;
      i += len;
    } else {
      if (s[i] < 0x20 || s[i] == 0x7F) return false;
      ++i;
    }
  }
  return true;
}

void append_xml_text(std::string& out, std::string_view text) {
  xml_escape(text, [&](std::string_view s) { out.append(s); });
}

XmlWriter::XmlWriter(OutFile& out) : out_(out) { out_.put("<?xml version=\"1.0\"?>\n"); }

void XmlWriter::indent() {
  for (int i = 0; i < depth_; ++i) out_.put("  ");
}

void XmlWriter::start_tag(std::string_view tag, std::initializer_list<Attribute> attributes) {
  indent();
  out_.put('<');
  out_.put(tag);
  for (const Attribute& a : attributes) {
    out_.put(' ');
    out_.put(a.name);
    out_.put("=\"");
    put_xml_text(out_, a.value);
    out_.put('"');
  }
}

XmlWriter::Scope::Scope(XmlWriter& xml, std::string_view tag, std::initializer_list<Attribute> attributes)
    : xml_(xml), tag_(tag) {
  xml_.start_tag(tag, attributes);
  xml_.out_.put(">\n");
  ++xml_.depth_;
}

XmlWriter::Scope::~Scope() {
  --xml_.depth_;
  xml_.indent();
  xml_.out_.put("</");
  xml_.out_.put(tag_);
  xml_.out_.put(">\n");
}

void XmlWriter::empty(std::string_view tag, std::initializer_list<Attribute> attributes) {
  start_tag(tag, attributes);
  out_.put("/>\n");
}

OutFile& XmlWriter::text() {
  indent();
  return out_;
}

void XmlWriter::end_text() { out_.put('\n'); }

}  // namespace pz
