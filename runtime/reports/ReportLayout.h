// A report's layout as data: the page (size and margins), the page header
// printed at the top of every page, and the bands a report prints (detail,
// total, ...). Every item is a text in a box with a font; its text is a
// literal, one of the values handed to the band when it is printed, or the
// page number. Positions are report units (thousandths of an inch); an
// item's box is relative to the top-left of its band's area.
//
// Thread: any; a layout is a plain value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/reports/PageImage.h"

namespace runtime {

struct ReportLayout {
  struct Item {
    enum class Source : std::uint8_t { Literal, Value, PageNumber };
    Source source = Source::Literal;
    std::string text;       // Literal: the text; PageNumber: the format ("%d")
    std::size_t value = 0;  // Value: index into the band's values
    ReportFont font;
    ReportBox box;
    TextAlign align = TextAlign::Left;
  };
  struct Band {
    std::int32_t height = 200;
    std::vector<Item> items;
    std::vector<PageImage::Line> lines;  // relative to the band, like the items
  };

  std::int32_t pageWidth = 8500;  // US Letter
  std::int32_t pageHeight = 11000;
  std::int32_t leftMargin = 500;
  std::int32_t topMargin = 500;
  std::int32_t rightMargin = 500;
  std::int32_t bottomMargin = 500;
  Band pageHeader;
  std::vector<Band> bands;

  std::int32_t PrintableWidth() const { return pageWidth - leftMargin - rightMargin; }
};

}  // namespace runtime
