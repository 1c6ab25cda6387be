// A small XML writer for the VTK files: each element is opened by a scope
// that closes it, children are indented two blanks deeper than their
// parent, and attribute values are escaped.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "records/files.hpp"
#include "records/number_writing.hpp"

namespace pz {

// Writes text as XML character data or attribute value: & < > " ' as
// entities, a tab as a character reference, and bytes XML cannot hold
// (other control characters, bytes that are not UTF-8) as '?'.
void put_xml_text(OutFile& out, std::string_view text);
void append_xml_text(std::string& out, std::string_view text);
// Whether text is UTF-8 without control characters: XML holds it as it is.
bool xml_can_hold(std::string_view text);

class XmlWriter {
 public:
  struct Attribute {
    std::string_view name;
    std::string_view value;
  };

  // Writes the XML declaration.
  explicit XmlWriter(OutFile& out);

  // An open element: <tag ...> on a line of its own, closed by </tag> on a
  // line of its own when the scope ends.
  class Scope {
   public:
    Scope(XmlWriter& xml, std::string_view tag, std::initializer_list<Attribute> attributes);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    XmlWriter& xml_;
    std::string_view tag_;
  };

  [[nodiscard]] Scope open(std::string_view tag, std::initializer_list<Attribute> attributes = {}) {
    return Scope(*this, tag, attributes);
  }
  // An element without content: <tag .../>.
  void empty(std::string_view tag, std::initializer_list<Attribute> attributes);
  // A line of character data inside the current element: text() starts it
  // at the element's children's indentation; the caller writes the data to
  // out(), then end_text() ends the line.
  OutFile& text();
  void end_text();
  OutFile& out() { return out_; }

 private:
  void start_tag(std::string_view tag, std::initializer_list<Attribute> attributes);
  void indent();
  OutFile& out_;
  int depth_ = 0;
};

}  // namespace pz
