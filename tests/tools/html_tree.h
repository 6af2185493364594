// A reader of the HTML that velto show --html writes, for tests that check
// its structure: well-formed elements, attribute values in double quotes,
// <meta> as the only void element, <style> as raw text and the five
// character references the tool writes. Anything else throws, so a test of
// a malformed document fails.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velto::testing {

struct HtmlNode {
  std::string tag;  // empty for a text node (and for the document)
  std::map<std::string, std::string> attributes;
  std::string text;  // of a text node, references resolved
  std::vector<HtmlNode> children;

  // The attribute's value; empty when it is absent.
  std::string Attribute(const std::string& name) const;
  bool HasClass(std::string_view name) const;
  // The element children with this tag, in order.
  std::vector<const HtmlNode*> Elements(std::string_view tag) const;
  // All the text inside, in order.
  std::string Text() const;
};

HtmlNode ParseHtml(std::string_view html);

// The elements below node with this tag and class (any class when it is
// empty), in document order.
std::vector<const HtmlNode*> FindAll(const HtmlNode& node, std::string_view tag,
                                     std::string_view class_name);

}  // namespace velto::testing
