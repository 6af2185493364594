#include "html_tree.h"

#include <stdexcept>

namespace velto::testing {
namespace {

std::string Unescape(std::string_view text) {
  static const std::map<std::string_view, char> kReferences = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] != '&') {
      out += text[pos++];
      continue;
    }
    const std::size_t end = text.find(';', pos);
    const auto found =
        end == std::string_view::npos ? kReferences.end() : kReferences.find(text.substr(pos, end + 1 - pos));
    if (found == kReferences.end()) throw std::runtime_error("unknown reference at " + std::string(text.substr(pos, 8)));
    out += found->second;
    pos = end + 1;
  }
  return out;
}

class Parser {
 public:
  explicit Parser(std::string_view html) : html_(html) {}

  HtmlNode Document() {
    HtmlNode document;
    if (html_.starts_with("<!DOCTYPE html>")) pos_ = html_.find('>') + 1;
    Content(document);
    if (pos_ != html_.size()) throw std::runtime_error("unexpected end tag at " + std::to_string(pos_));
    return document;
  }

 private:
  // Children up to the end tag of parent (left for the caller) or the end.
  void Content(HtmlNode& parent) {
    while (pos_ < html_.size() && !html_.substr(pos_).starts_with("</")) {
      if (html_[pos_] == '<') {
        parent.children.push_back(Element());
      } else {
        const std::size_t end = std::min(html_.find('<', pos_), html_.size());
        HtmlNode text;
        text.text = Unescape(html_.substr(pos_, end - pos_));
        parent.children.push_back(std::move(text));
        pos_ = end;
      }
    }
  }

  HtmlNode Element() {
    HtmlNode element;
    ++pos_;  // <
    element.tag = Name();
    for (;;) {
      Skip(" \n");
      if (Take(">")) break;
      const std::string name = Name();
      if (!Take("=\"")) throw std::runtime_error("attribute " + name + " without a quoted value");
      const std::size_t end = html_.find('"', pos_);
      if (end == std::string_view::npos) throw std::runtime_error("unterminated attribute " + name);
      element.attributes[name] = Unescape(html_.substr(pos_, end - pos_));
      pos_ = end + 1;
    }
    if (element.tag == "meta") return element;
    const std::string end_tag = "</" + element.tag + ">";
    if (element.tag == "style") {
      const std::size_t end = html_.find(end_tag, pos_);
      if (end == std::string_view::npos) throw std::runtime_error("unterminated style");
      HtmlNode text;
      text.text = std::string(html_.substr(pos_, end - pos_));
      element.children.push_back(std::move(text));
      pos_ = end;
    } else {
      Content(element);
    }
    if (!Take(end_tag)) throw std::runtime_error("<" + element.tag + "> not closed at " + std::to_string(pos_));
    return element;
  }

  std::string Name() {
    const std::size_t end = html_.find_first_of(" =>\n", pos_);
    if (end == pos_ || end == std::string_view::npos) throw std::runtime_error("name expected at " + std::to_string(pos_));
    std::string name(html_.substr(pos_, end - pos_));
    pos_ = end;
    return name;
  }

  bool Take(std::string_view expected) {
    if (!html_.substr(pos_).starts_with(expected)) return false;
    pos_ += expected.size();
    return true;
  }

  void Skip(std::string_view blanks) {
    while (pos_ < html_.size() && blanks.find(html_[pos_]) != std::string_view::npos) ++pos_;
  }

  std::string_view html_;
  std::size_t pos_ = 0;
};

void Collect(const HtmlNode& node, std::string_view tag, std::string_view class_name,
             std::vector<const HtmlNode*>& found) {
  for (const HtmlNode& child : node.children) {
    if (child.tag == tag && (class_name.empty() || child.HasClass(class_name))) found.push_back(&child);
    Collect(child, tag, class_name, found);
  }
}

}  // namespace

std::string HtmlNode::Attribute(const std::string& name) const {
  const auto found = attributes.find(name);
  return found == attributes.end() ? std::string() : found->second;
}

bool HtmlNode::HasClass(std::string_view name) const {
  const std::string classes = " " + Attribute("class") + " ";
  return classes.find(" " + std::string(name) + " ") != std::string::npos;
}

std::vector<const HtmlNode*> HtmlNode::Elements(std::string_view wanted) const {
  std::vector<const HtmlNode*> found;
  for (const HtmlNode& child : children) {
    if (child.tag == wanted) found.push_back(&child);
  }
  return found;
}

std::string HtmlNode::Text() const {
  std::string all = text;
  for (const HtmlNode& child : children) all += child.Text();
  return all;
}

HtmlNode ParseHtml(std::string_view html) { return Parser(html).Document(); }

std::vector<const HtmlNode*> FindAll(const HtmlNode& node, std::string_view tag,
                                     std::string_view class_name) {
  std::vector<const HtmlNode*> found;
  Collect(node, tag, class_name, found);
  return found;
}

}  // namespace velto::testing
