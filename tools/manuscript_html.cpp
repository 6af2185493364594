#include "manuscript_html.h"

#include <array>
#include <cmath>
#include <utility>

#include "tool_error.h"
#include "transcode.h"

namespace velto::tool {
namespace {

constexpr std::string_view kGridColour = "#c8553d";  // the vermilion of printed manuscript paper
constexpr int kLabelPx = 28;                          // the file name and page number under a sheet
constexpr double kPxPerMm = 96.0 / 25.4;
constexpr int kPrintMarginMm = 10;
constexpr int kA4LongMm = 297;
constexpr int kA4ShortMm = 210;

bool HasFold(const Sheet& sheet) { return sheet.lines == kFoldedSheetLines; }

int PrintablePx(int page_mm) {
  return static_cast<int>(std::floor((page_mm - 2 * kPrintMarginMm) * kPxPerMm));
}

int PageMm(int px) { return static_cast<int>(std::ceil(px / kPxPerMm)) + 2 * kPrintMarginMm; }

// One sheet a printed page: A4 turned the way the sheet is when it fits
// there (the 20 x 20 sheet in columns fits A4 landscape), else a page of
// the sheet's own size, so that printing to PDF never scales or splits it.
std::string PageSize(const PixelSize& box) {
  const bool wide = box.width >= box.height;
  const int across = PrintablePx(wide ? kA4LongMm : kA4ShortMm);
  const int down = PrintablePx(wide ? kA4ShortMm : kA4LongMm);
  if (box.width <= across && box.height <= down) return wide ? "A4 landscape" : "A4 portrait";
  return std::to_string(PageMm(box.width)) + "mm " + std::to_string(PageMm(box.height)) + "mm";
}

std::string Px(int value) { return std::to_string(value) + "px"; }

// The style sheet, with the sheet's measures written in. Each line is a
// grid of two tracks across (ruby band, cells) and one track along per cell
// plus the margin cell; the writing mode turns the same grid into columns
// or rows, and in columns the font's vertical forms of punctuation,
// brackets and the long vowel mark are used.
std::string StyleSheet(const Sheet& sheet) {
  const PixelSize grid = GridSize(sheet);
  const std::string ink(kGridColour);
  const bool vertical = sheet.writing == Writing::kVertical;
  const std::string line_cells = Px(static_cast<int>(sheet.cells) * kCellPx);
  std::string css;
  css += "*{box-sizing:border-box;margin:0;padding:0}\n";
  css += "html{background:#e9e5dc}\n";
  css += "body{padding:24px;color:#1a1a1a;font-family:\"Noto Serif CJK JP\",\"IPAexMincho\","
         "\"IPAMincho\",\"Hiragino Mincho ProN\",\"Yu Mincho\",serif}\n";
  css += ".counts{font:13px/1.5 \"Noto Sans Mono CJK JP\",\"IPAGothic\",\"Osaka-Mono\",monospace;"
         "margin-bottom:24px;overflow-x:auto}\n";
  // Sheets out of view are not laid out until scrolled to: a novel of
  // hundreds of sheets opens as fast as a short story.
  css += ".sheet{width:max-content;margin:0 auto 32px;padding:24px;background:#fff;"
         "box-shadow:0 1px 4px #0003;content-visibility:auto;contain-intrinsic-size:" +
         Px(grid.width + 48) + " " + Px(grid.height + kLabelPx + 48) + "}\n";
  css += std::string(".grid{writing-mode:") + (vertical ? "vertical-rl;text-orientation:upright" : "horizontal-tb") +
         ";width:" + Px(grid.width) + ";height:" + Px(grid.height) + "}\n";
  css += ".line{display:grid;grid-template-columns:repeat(" + std::to_string(sheet.cells) + "," +
         Px(kCellPx) + ") " + Px(kCellPx) + ";grid-template-rows:" + Px(kRubyBandPx) + " " + Px(kCellPx) +
         "}\n";
  css += ".line>i,.line>b{grid-row:2;font-style:normal;font-weight:normal;font-size:22px;line-height:" +
         Px(kCellPx - 2) + ";text-align:center}\n";
  css += ".line>i{border:1px solid " + ink + ";border-inline-end:0}\n";
  css += ".line>i:last-of-type{border-inline-end:1px solid " + ink + "}\n";
  css += ".line>b{grid-column:-2}\n";
  css += ".line>span{grid-row:1;font-size:10px;line-height:" + Px(kRubyBandPx) +
         ";text-align:center;white-space:nowrap}\n";
  css += ".line>span.more{border-block-end:1px solid #888;margin-block-end:3px}\n";
  css += ".fold{block-size:" + Px(kFoldPx) + ";inline-size:" + line_cells + "}\n";
  css += ".fold::before{content:\"\";display:block;block-size:50%;border-block-end:1px dashed " + ink +
         "}\n";
  css += ".label{display:flex;justify-content:space-between;gap:2em;height:" + Px(kLabelPx) +
         ";padding-top:8px;font:12px/20px sans-serif;color:#555}\n";
  css += "@page{size:" + PageSize({grid.width, grid.height + kLabelPx}) + ";margin:" +
         std::to_string(kPrintMarginMm) + "mm}\n";
  // A grid in columns is laid out across the page, which the browser's
  // pagination measures against the page's height; drawn as one
  // unbreakable box it never spills a blank page after it.
  css += "@media print{html{background:none}body{padding:0}"
         ".sheet{margin:0 auto;padding:0;box-shadow:none;content-visibility:visible;break-before:page}"
         ".grid{display:inline-block;vertical-align:top}}\n";
  return css;
}

}  // namespace

Sheet SheetOf(const Settings& layout, Writing writing) {
  if (layout.line_length == 0 || layout.line_length > kSourceLineBytes) {
    throw UsageError("--html draws lines of cells: set --line-length (10 to " +
                     std::to_string(kSourceLineBytes) + ")");
  }
  if (layout.page_length == 0) throw UsageError("--html draws one sheet a page: set --page-length");
  if (static_cast<std::uint64_t>(layout.line_length) * layout.page_length > kMaxSheetCells) {
    throw UsageError("--html draws at most " + std::to_string(kMaxSheetCells) +
                     " cells a sheet: lower --page-length or --line-length");
  }
  return {layout.line_length, layout.page_length, writing};
}

PixelSize GridSize(const Sheet& sheet) {
  const int along = (static_cast<int>(sheet.cells) + 1) * kCellPx;
  const int across = static_cast<int>(sheet.lines) * (kCellPx + kRubyBandPx) + (HasFold(sheet) ? kFoldPx : 0);
  return sheet.writing == Writing::kVertical ? PixelSize{across, along} : PixelSize{along, across};
}

void AppendHtml(std::string_view utf8, std::string& out) {
  static constexpr std::array<std::pair<char32_t, std::string_view>, 5> kReferences = {
      {{U'&', "&amp;"}, {U'<', "&lt;"}, {U'>', "&gt;"}, {U'"', "&quot;"}, {U'\'', "&#39;"}}};
  AppendEscaped(utf8, out, [](char32_t code_point, std::string& to) {
    for (const auto& [character, reference] : kReferences) {
      if (code_point != character) continue;
      to += reference;
      return true;
    }
    return false;
  });
}

ManuscriptWriter::ManuscriptWriter(std::ostream& out, const Sheet& sheet, std::string title,
                                   std::int64_t pages)
    : out_(out), sheet_(sheet), title_(std::move(title)), pages_(pages) {}

void ManuscriptWriter::Begin(std::string_view counts) {
  html_ += "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
  AppendHtml(title_, html_);
  html_ += "</title>\n<style>\n" + StyleSheet(sheet_) + "</style>\n</head>\n<body>\n<pre class=\"counts\">";
  AppendHtml(counts, html_);
  html_ += "</pre>\n";
  Flush();
}

void ManuscriptWriter::Add(const DisplayLine& line) {
  if (line.page != page_) {
    if (page_ != 0) CloseSheet();
    OpenSheet(line.page);
  }
  StartLine(" data-line=\"" + std::to_string(line.line_on_page) + "\"");
  AppendCells(line);
  html_ += "</div>\n";
  ++lines_;
  Flush();
}

void ManuscriptWriter::Finish() {
  if (page_ != 0) CloseSheet();
  html_ += "</body>\n</html>\n";
  Flush();
}

void ManuscriptWriter::OpenSheet(std::int64_t page) {
  page_ = page;
  sheet_lines_ = 0;
  ++sheets_;
  html_ += "<section class=\"sheet\" id=\"sheet-" + std::to_string(page) + "\" data-page=\"" +
           std::to_string(page) + "\">\n<div class=\"grid\">\n";
}

// The rest of the sheet stays blank, as on paper: every sheet has all its
// lines of cells.
void ManuscriptWriter::CloseSheet() {
  while (sheet_lines_ < sheet_.lines) {
    StartLine("");
    for (std::uint32_t i = 0; i < sheet_.cells; ++i) html_ += "<i></i>";
    html_ += "</div>\n";
  }
  html_ += "</div>\n<p class=\"label\"><span>";
  AppendHtml(title_, html_);
  html_ += "</span><span>" + std::to_string(page_) + " / " + std::to_string(pages_) +
           "</span></p>\n</section>\n";
  Flush();
}

// Opens the next line of the sheet, after the fold when it begins the
// second half.
void ManuscriptWriter::StartLine(std::string_view attributes) {
  if (HasFold(sheet_) && sheet_lines_ == kFoldedSheetLines / 2) html_ += "<div class=\"fold\"></div>\n";
  ++sheet_lines_;
  html_ += "<div class=\"line\"";
  html_ += attributes;
  html_ += '>';
}

// One cell a character, half-width ones included; a hanging character
// goes to the margin cell; cells the line leaves free stay blank.
void ManuscriptWriter::AppendCells(const DisplayLine& line) {
  const std::vector<std::string>& characters = visible_.Characters(line.text);
  const std::size_t body = line.hangs && !characters.empty() ? characters.size() - 1 : characters.size();
  for (std::size_t i = 0; i < body; ++i) {
    html_ += "<i>";
    AppendHtml(characters[i], html_);
    html_ += "</i>";
  }
  for (std::size_t i = body; i < sheet_.cells; ++i) html_ += "<i></i>";
  if (body < characters.size()) {
    html_ += "<b>";
    AppendHtml(characters.back(), html_);
    html_ += "</b>";
  }
  AppendRuby(line, body);
}

// A reading stands in the ruby band beside its base cells, with the part
// of the base that begins it; a part that continues a base from the line
// before gets a thin mark beside its cells instead of the reading again.
void ManuscriptWriter::AppendRuby(const DisplayLine& line, std::size_t body_cells) {
  if (line.ruby.empty()) return;
  const auto characters_before = [&line](std::size_t offset) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < offset; pos += sjis::CharLength(line.text, pos)) ++count;
    return count;
  };
  // The grid track of a character: its cell, or the margin cell for a
  // hanging character.
  const auto track = [&](std::size_t index) {
    return index < body_cells ? index + 1 : static_cast<std::size_t>(sheet_.cells) + 1;
  };
  for (const RubyPart& part : line.ruby) {
    const std::size_t first = track(characters_before(part.begin));
    const std::size_t last = track(characters_before(part.end) - 1);
    html_ += std::string("<span") + (part.first ? "" : " class=\"more\"") + " style=\"grid-column:" +
             std::to_string(first) + "/" + std::to_string(last + 1) + "\">";
    if (part.first) AppendHtml(Cp932ToUtf8(part.reading), html_);
    html_ += "</span>";
  }
}

void ManuscriptWriter::Flush() {
  out_ << html_;
  html_.clear();
}

}  // namespace velto::tool
