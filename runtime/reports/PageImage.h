// One printed page as a small vector image: text runs (font, box, alignment,
// clipping), lines and boxes, all in report units (thousandths of an inch)
// from the page's top-left corner. Pages are kept as files of this format so
// a long report never holds all its pages in memory; one renderer draws them
// onto any paint device and tests read them back directly.
//
// Thread: any; a page is a plain value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace runtime {

struct ReportFont {
  std::string family = "Arial";
  std::int32_t points = 10;
  bool bold = false;
  bool operator==(const ReportFont&) const = default;
};

// A rectangle in report units.
struct ReportBox {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t Right() const { return x + width; }
  std::int32_t Bottom() const { return y + height; }
  bool operator==(const ReportBox&) const = default;
};

enum class TextAlign : std::uint8_t { Left, Center, Right };

class PageImage {
 public:
  struct TextRun {
    ReportFont font;
    ReportBox box;
    TextAlign align = TextAlign::Left;
    bool clip = true;  // text that does not fit its box is cut at the box's edge
    std::string text;  // UTF-8
  };
  struct Line {
    std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::int32_t thickness = 10;
  };

  // Writes the page to path; false when the file cannot be written.
  [[nodiscard]] bool Save(const std::string& path) const;
  // Reads a page written by Save; false (and the page left empty) when the
  // file is missing or not a page image.
  [[nodiscard]] bool Load(const std::string& path);

  // Every text of the page in drawing order (for tests and searching).
  std::vector<std::string> Texts() const;

  std::int32_t width = 8500;
  std::int32_t height = 11000;
  std::vector<TextRun> runs;
  std::vector<Line> lines;
  std::vector<ReportBox> boxes;
};

}  // namespace runtime
