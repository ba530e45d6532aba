#include "runtime/reports/PageImage.h"

#include <fstream>

namespace runtime {

namespace {

constexpr const char* kMagic = "MLPAGE 1";

// Texts are written with their length first so they may hold any byte.
void WriteText(std::ostream& out, const std::string& text) { out << text.size() << ':' << text; }

bool ReadText(std::istream& in, std::string& text) {
  std::size_t size = 0;
  char colon = 0;
  if (!(in >> size) || !in.get(colon) || colon != ':' || size > (1u << 20)) return false;
  text.resize(size);
  return static_cast<bool>(in.read(text.data(), static_cast<std::streamsize>(size)));
}

}  // namespace

bool PageImage::Save(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out << kMagic << '\n' << width << ' ' << height << '\n';
  for (const TextRun& run : runs) {
    out << "T " << run.box.x << ' ' << run.box.y << ' ' << run.box.width << ' ' << run.box.height << ' '
        << static_cast<int>(run.align) << ' ' << (run.clip ? 1 : 0) << ' ' << run.font.points << ' '
        << (run.font.bold ? 1 : 0) << ' ';
    WriteText(out, run.font.family);
    out << ' ';
    WriteText(out, run.text);
    out << '\n';
  }
  for (const Line& line : lines)
    out << "L " << line.x1 << ' ' << line.y1 << ' ' << line.x2 << ' ' << line.y2 << ' ' << line.thickness << '\n';
  for (const ReportBox& box : boxes)
    out << "B " << box.x << ' ' << box.y << ' ' << box.width << ' ' << box.height << '\n';
  out << "E\n";
  out.flush();
  return static_cast<bool>(out);
}

bool PageImage::Load(const std::string& path) {
  *this = PageImage{};
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  if (!in || !std::getline(in, magic) || magic != kMagic) return false;
  PageImage page;
  if (!(in >> page.width >> page.height)) return false;
  std::string tag;
  while (in >> tag) {
    if (tag == "E") {
      *this = std::move(page);
      return true;
    }
    if (tag == "T") {
      TextRun run;
      int align = 0, clip = 0, bold = 0;
      char space = 0;
      if (!(in >> run.box.x >> run.box.y >> run.box.width >> run.box.height >> align >> clip >> run.font.points >>
            bold) ||
          align < 0 || align > 2 || !in.get(space) || !ReadText(in, run.font.family) || !in.get(space) ||
          !ReadText(in, run.text))
        return false;
      run.align = static_cast<TextAlign>(align);
      run.clip = clip != 0;
      run.font.bold = bold != 0;
      page.runs.push_back(std::move(run));
    } else if (tag == "L") {
      Line line;
      if (!(in >> line.x1 >> line.y1 >> line.x2 >> line.y2 >> line.thickness)) return false;
      page.lines.push_back(line);
    } else if (tag == "B") {
      ReportBox box;
      if (!(in >> box.x >> box.y >> box.width >> box.height)) return false;
      page.boxes.push_back(box);
    } else {
      return false;
    }
  }
  return false;
}

std::vector<std::string> PageImage::Texts() const {
  std::vector<std::string> texts;
  texts.reserve(runs.size());
  for (const TextRun& run : runs) texts.push_back(run.text);
  return texts;
}

}  // namespace runtime
