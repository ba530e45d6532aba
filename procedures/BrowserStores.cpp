#include "procedures/BrowserStores.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <system_error>

namespace marlinden {

namespace {

constexpr std::string_view kSqliteHeader{"SQLite format 3\0", 16};

// Seconds since 1970 of a count of micro seconds since epochSeconds (before
// 1970: negative); 0 when it is no date a bookmark keeps.
std::uint32_t SecondsOf(std::int64_t micros, std::int64_t epochSeconds) {
  if (micros <= 0) return 0;
  const std::int64_t seconds = micros / 1'000'000 + epochSeconds;
  return seconds <= 0 || seconds > UINT32_MAX ? 0 : static_cast<std::uint32_t>(seconds);
}

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t k1601 = -11'644'473'600;

std::int64_t Number(std::string_view text) {
  std::int64_t value = 0;
  if (text.empty() || text.size() > 18) return 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A folder or a link of a Chromium file.
struct ChromiumNode {
  bool folder = false;
  std::string name;
  std::string url;
  std::int64_t added = 0;     // microseconds since 1601
  std::int64_t modified = 0;  // likewise
  std::vector<std::unique_ptr<ChromiumNode>> children;
};

// Builds the nodes of a Chromium file's "roots" from the parser's events.
class ChromiumTree : public nlohmann::json_sax<nlohmann::json> {
 public:
  std::vector<std::pair<std::string, std::unique_ptr<ChromiumNode>>> roots;  // in the file's order

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool string(string_t& value) override {
    Frame& frame = frames_.back();
    if (frame.kind != Kind::Node) return true;
    ChromiumNode& node = *frame.node;
    if (frame.key == "type") node.folder = value == "folder";
    if (frame.key == "name") node.name = value;
    if (frame.key == "url") node.url = value;
    if (frame.key == "date_added") node.added = Number(value);
    if (frame.key == "date_modified") node.modified = Number(value);
    return true;
  }
  bool start_object(std::size_t) override {
    Frame frame;
    if (frames_.empty()) {
      frame.kind = Kind::Top;
    } else if (frames_.back().kind == Kind::Top && frames_.back().key == "roots") {
      frame.kind = Kind::Roots;
    } else if (frames_.back().kind == Kind::Roots) {
      roots.emplace_back(frames_.back().key, std::make_unique<ChromiumNode>());
      frame = {Kind::Node, roots.back().second.get(), {}};
    } else if (frames_.back().kind == Kind::Children) {
      ChromiumNode& parent = *frames_.back().node;
      parent.children.push_back(std::make_unique<ChromiumNode>());
      frame = {Kind::Node, parent.children.back().get(), {}};
    }
    frames_.push_back(std::move(frame));
    return true;
  }
  bool key(string_t& value) override {
    frames_.back().key = value;
    return true;
  }
  bool end_object() override {
    frames_.pop_back();
    return true;
  }
  bool start_array(std::size_t) override {
    Frame frame;
    if (frames_.back().kind == Kind::Node && frames_.back().key == "children") {
      frame = {Kind::Children, frames_.back().node, {}};
    }
    frames_.push_back(std::move(frame));
    return true;
  }
  bool end_array() override {
    frames_.pop_back();
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

 private:
  enum class Kind : std::uint8_t { Other, Top, Roots, Node, Children };
  struct Frame {
    Kind kind = Kind::Other;
    ChromiumNode* node = nullptr;
    std::string key;  // the last key of an object
  };
  std::vector<Frame> frames_;
};

void AddChromiumLinks(const ChromiumNode& folder, std::vector<std::string>& path, std::size_t toolbarDepth,
                      std::deque<BookmarkEntry>& entries) {
  for (const auto& child : folder.children) {
    if (child->folder) {
      path.push_back(child->name);
      AddChromiumLinks(*child, path, toolbarDepth, entries);
      path.pop_back();
    } else if (!child->url.empty()) {
      entries.push_back({child->url,
                         child->name,
                         {},
                         path,
                         toolbarDepth,
                         SecondsOf(child->added, k1601),
                         SecondsOf(child->modified, k1601)});
    }
  }
}

// A row of moz_bookmarks.
struct PlacesItem {
  std::int64_t id = 0;
  std::int64_t parent = 0;
  bool folder = false;
  std::string title;
  std::string guid;
  std::string url;
  std::int64_t added = 0;             // microseconds since 1970
  std::int64_t modified = 0;          // likewise
  std::vector<std::size_t> children;  // indexes, by position
};

std::string Column(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  return text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column))) : "";
}

// Every bookmark and folder of the database at path, children in their
// order; empty when it is not a places database.
std::vector<PlacesItem> ReadPlaces(const std::string& path) {
  std::vector<PlacesItem> items;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return items;
  }
  sqlite3_stmt* select = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT b.id, b.parent, b.type, b.title, b.guid, p.url, b.dateAdded, b.lastModified"
                         " FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk"
                         " ORDER BY b.parent, b.position, b.id",
                         -1, &select, nullptr) == SQLITE_OK) {
    while (sqlite3_step(select) == SQLITE_ROW) {
      items.push_back({sqlite3_column_int64(select, 0),
                       sqlite3_column_int64(select, 1),
                       sqlite3_column_int(select, 2) == 2,
                       Column(select, 3),
                       Column(select, 4),
                       Column(select, 5),
                       sqlite3_column_int64(select, 6),
                       sqlite3_column_int64(select, 7),
                       {}});
    }
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  return items;
}

// The name the browser's export gives a root folder: its title, or the
// usual name when the title is the database's own.
std::string RootName(const PlacesItem& root, std::string_view internal, std::string_view usual) {
  return root.title.empty() || root.title == internal ? std::string(usual) : root.title;
}

void AddPlacesLinks(const std::vector<PlacesItem>& items, const PlacesItem& folder, std::vector<std::string>& path,
                    std::size_t toolbarDepth, std::vector<BookmarkEntry>& links) {
  for (const std::size_t index : folder.children) {
    const PlacesItem& child = items[index];
    if (child.folder) {
      path.push_back(child.title);
      AddPlacesLinks(items, child, path, toolbarDepth, links);
      path.pop_back();
    } else if (!child.url.empty()) {
      links.push_back(
          {child.url, child.title, {}, path, toolbarDepth, SecondsOf(child.added, 0), SecondsOf(child.modified, 0)});
    }
  }
}

// A folder of its own for the copy of a database; removed with it.
class CopyFolder {
 public:
  CopyFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "marlinden-places-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~CopyFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  CopyFolder(const CopyFolder&) = delete;
  CopyFolder& operator=(const CopyFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

BookmarkFileKind KindOfBookmarkFile(std::string_view head) {
  if (head.starts_with(kSqliteHeader)) return BookmarkFileKind::FirefoxPlaces;
  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
  const std::size_t first = head.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && head[first] == '{' ? BookmarkFileKind::ChromiumJson
                                                               : BookmarkFileKind::Html;
}

std::vector<FoundStore> FindBrowserStores(const std::string& home) {
  struct Place {
    const char* browser;
    const char* folder;  // below home: the profiles' parent folder
    const char* store;   // the store's name in a profile folder
  };
  static constexpr Place kPlaces[] = {
      {"Google Chrome", ".config/google-chrome", "Bookmarks"},
      {"Google Chrome", ".var/app/com.google.Chrome/config/google-chrome", "Bookmarks"},
      {"Chromium", ".config/chromium", "Bookmarks"},
      {"Chromium", "snap/chromium/common/chromium", "Bookmarks"},
      {"Chromium", ".var/app/org.chromium.Chromium/config/chromium", "Bookmarks"},
      {"Brave", ".config/BraveSoftware/Brave-Browser", "Bookmarks"},
      {"Microsoft Edge", ".config/microsoft-edge", "Bookmarks"},
      {"Vivaldi", ".config/vivaldi", "Bookmarks"},
      {"Opera", ".config/opera", "Bookmarks"},
      {"Firefox", ".mozilla/firefox", "places.sqlite"},
      {"Firefox", "snap/firefox/common/.mozilla/firefox", "places.sqlite"},
      {"Firefox", ".var/app/org.mozilla.firefox/.mozilla/firefox", "places.sqlite"},
      {"LibreWolf", ".librewolf", "places.sqlite"},
      {"Waterfox", ".waterfox", "places.sqlite"},
  };
  std::vector<FoundStore> found;
  for (const Place& place : kPlaces) {
    const std::filesystem::path parent = std::filesystem::path(home) / place.folder;
    std::error_code error;
    std::vector<FoundStore> profiles;
    // Opera keeps its one profile in the folder itself.
    if (std::filesystem::is_regular_file(parent / place.store, error)) {
      profiles.push_back({place.browser, parent.filename().string(), (parent / place.store).string()});
    }
    for (std::filesystem::directory_iterator it(parent, error), end; !error && it != end; it.increment(error)) {
      const std::filesystem::path store = it->path() / place.store;
      std::error_code missing;
      if (std::filesystem::is_regular_file(store, missing)) {
        profiles.push_back({place.browser, it->path().filename().string(), store.string()});
      }
    }
    std::sort(profiles.begin(), profiles.end(),
              [](const FoundStore& a, const FoundStore& b) { return a.profile < b.profile; });
    found.insert(found.end(), profiles.begin(), profiles.end());
  }
  return found;
}

void ChromiumBookmarksReader::Read(std::string_view bytes, bool last) {
  lines_ += std::count(bytes.begin(), bytes.end(), '\n');
  text_.append(bytes);
  if (!last) return;
  if (!text_.empty() && text_.back() != '\n') ++lines_;
  ChromiumTree tree;
  std::string_view text = text_;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  (void)nlohmann::json::sax_parse(text, &tree);
  text_.clear();
  text_.shrink_to_fit();
  // The bookmarks bar first, then the others at the top, as the browser's
  // export writes them.
  std::vector<std::string> path;
  for (const auto& [name, root] : tree.roots) {
    if (name != "bookmark_bar") continue;
    path.assign(1, root->name);
    AddChromiumLinks(*root, path, 1, entries_);
  }
  for (const auto& [name, root] : tree.roots) {
    if (name == "bookmark_bar") continue;
    path.clear();
    AddChromiumLinks(*root, path, 0, entries_);
  }
}

PlacesReader::PlacesReader(const std::string& path, std::int64_t size) : size_(size) {
  // The database and its write-ahead log are copied, and only the copy is
  // opened: the browser's own files are read, never locked or changed.
  const CopyFolder folder;
  if (folder.Path().empty()) return;
  const std::string copy = folder.Path() + "/places.sqlite";
  std::error_code error;
  if (!std::filesystem::copy_file(path, copy, error)) return;
  if (std::filesystem::exists(path + "-wal", error))
    (void)std::filesystem::copy_file(path + "-wal", copy + "-wal", error);
  std::vector<PlacesItem> items = ReadPlaces(copy);

  std::map<std::int64_t, std::size_t> byId;
  for (std::size_t i = 0; i < items.size(); ++i) byId[items[i].id] = i;
  const PlacesItem* root = nullptr;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const auto parent = byId.find(items[i].parent);
    if (parent != byId.end() && parent->second != i) items[parent->second].children.push_back(i);
    if (items[i].guid == "root________") root = &items[i];
  }
  if (root == nullptr) return;
  const auto child = [&](std::string_view guid) -> const PlacesItem* {
    for (const std::size_t index : root->children) {
      if (items[index].guid == guid) return &items[index];
    }
    return nullptr;
  };
  std::vector<std::string> names;
  if (const PlacesItem* menu = child("menu________")) AddPlacesLinks(items, *menu, names, 0, links_);
  const struct {
    std::string_view guid, internal, usual;
    std::size_t toolbarDepth;
  } folders[] = {{"toolbar_____", "toolbar", "Bookmarks Toolbar", 1},
                 {"unfiled_____", "unfiled", "Other Bookmarks", 0},
                 {"mobile______", "mobile", "Mobile Bookmarks", 0}};
  for (const auto& f : folders) {
    const PlacesItem* top = child(f.guid);
    if (top == nullptr) continue;
    names.assign(1, RootName(*top, f.internal, f.usual));
    AddPlacesLinks(items, *top, names, f.toolbarDepth, links_);
  }
}

void PlacesReader::Read(std::string_view bytes, bool last) {
  read_ += static_cast<std::int64_t>(bytes.size());
  // The links go out in step with the file's pieces, so the progress shows.
  const std::size_t until =
      last || size_ <= 0
          ? links_.size()
          : std::min(links_.size(), static_cast<std::size_t>(static_cast<double>(links_.size()) *
                                                             static_cast<double>(read_) / static_cast<double>(size_)));
  for (; given_ < until; ++given_) entries_.push_back(std::move(links_[given_]));
  lines_ = static_cast<std::int64_t>(given_);
  if (last) links_.clear();
}

}  // namespace marlinden
