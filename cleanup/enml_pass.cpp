#include "cleanup/enml_pass.h"

#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <rpc.h>
#else
#include <random>
#endif

#include "cleanup/enml_rules.h"
#include "cleanup/html_tokenizer.h"
#include "cleanup/note_text.h"
#include "text/utf8.h"

namespace {

constexpr size_t kSinkPiece = 64 * 1024;
// Open elements beyond this many are left out, start and end tag alike: what a page can
// nest is far less, and the stack stays small whatever a page holds.
constexpr size_t kMaxOpenElements = 10000;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// XML names, kept to what HTML writes and every XML parser reads.
bool IsXmlName(std::string_view name) {
  if (name.empty() || !(IsAsciiLetter(name[0]) || name[0] == '_' || name[0] == ':')) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == ':' || c == '-' ||
           c == '.';
  });
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The last part of an address's path: "logo.png" of "http://x/a/logo.png?s=2".
std::string_view FileName(std::string_view address) {
  std::string_view path = address.substr(0, address.find_first_of("?#"));
  while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.remove_suffix(1);
  const size_t slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (name.find(':') != std::string_view::npos) return {};  // "http:" alone, or a scheme
  return name;
}

const HtmlAttribute* FindAttribute(const std::vector<HtmlAttribute>& attributes,
                                   std::string_view name) {
  for (const HtmlAttribute& attribute : attributes)
    if (attribute.name == name) return &attribute;
  return nullptr;
}

}  // namespace

std::string NewAnchorName() {
  static constexpr char kHex[] = "0123456789abcdef";
  unsigned char bytes[16];
#ifdef _WIN32
  UUID uuid;
  UuidCreate(&uuid);
  static_assert(sizeof uuid == sizeof bytes, "a UUID is 16 bytes");
  // In the order of its text form: the first three fields are little-endian numbers.
  const unsigned char* raw = reinterpret_cast<const unsigned char*>(&uuid);
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) bytes[i] = raw[order[i]];
#else
  // Version 4 (random), as UuidCreate makes them.
  static thread_local std::mt19937_64 generator{std::random_device{}() ^
                                                (uint64_t{std::random_device{}()} << 32)};
  for (int i = 0; i < 16; i += 8) {
    const uint64_t word = generator();
    for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<unsigned char>(word >> (8 * k));
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
#endif
  std::string name;
  for (unsigned char byte : bytes) {
    name.push_back(kHex[byte >> 4]);
    name.push_back(kHex[byte & 0x0F]);
  }
  return name;
}

// The tree of open elements, carried from one piece of input to the next: it decides
// what each element becomes and writes it.
class EnmlPass::Tree : public HtmlTokenHandler {
 public:
  Tree(const EnmlOptions& options, ByteSink sink)
      : options_(options),
        sink_(std::move(sink)),
        text_(out_, TextOptions(options)),
        maxDepth_(kMaxNesting - options.outerDepth),
        ruleOpen_(ElementRuleCount(), 0),
        tokenizer_(*this) {}

  bool Feed(std::string_view html) {
    if (!ok_) return false;
    tokenizer_.Feed(html);
    if (out_.size() >= kSinkPiece) Flush();
    return ok_;
  }

  bool Finish() {
    if (!ok_) return false;
    tokenizer_.Finish();
    while (!stack_.empty()) CloseTop();
    text_.Finish();
    Flush();
    return ok_;
  }

  void OnText(std::string_view text) override {
    if (dropping_ > 0) return;
    if (options_.wholeDocument && body_ != Body::kInside && !outsideText_) {
      // Outside the body only runs of whitespace go.
      if (std::all_of(text.begin(), text.end(), IsBlank)) {
        outsideBlanks_.append(text.data(), text.size());
        return;
      }
      if (!outsideBlanks_.empty()) text_.Text(outsideBlanks_, Place());
      outsideBlanks_.clear();
      outsideText_ = true;
    }
    text_.Text(text, Place());
  }

  void OnStartTag(std::string_view name, const ElementRule* rule,
                  const std::vector<HtmlAttribute>& attributes, bool selfClosed) override {
    const bool isVoid = rule && (rule->flags & kVoid);
    const bool opens = !isVoid && !selfClosed;
    if (opens && rule) CloseImpliedBy(rule->item);
    if (opens && stack_.size() >= kMaxOpenElements) {
      Boundary();
      return;
    }
    const Fate fate = Decide(name, rule, attributes, selfClosed || isVoid);
    if (!opens) return;
    const bool isBody = options_.wholeDocument && body_ == Body::kBefore && name == "body";
    if (isBody) body_ = Body::kInside;
    Push(name, rule, fate, isBody);
  }

  void OnEndTag(std::string_view name, const ElementRule* rule) override {
    if (OpenCount(name, rule) == 0) {
      Boundary();  // nothing to close: the stray end tag goes
      return;
    }
    // The walk down the stack ends at the element it closes, so it costs no more than
    // the elements it closes.
    while (stack_.back().name != name) CloseTop();
    CloseTop();
  }

  void OnMarkup() override { Boundary(); }

 private:
  // What became of an open element: its end tag is written, dropped, or it drops
  // everything up to its end.
  enum class Fate { kKept, kUnwrapped, kDropped, kSetApart };
  enum class Body { kBefore, kInside, kAfter };
  struct Open {
    std::string name;
    const ElementRule* rule;
    Fate fate;
    bool isBody;
  };

  static NoteTextOptions TextOptions(const EnmlOptions& options) {
    NoteTextOptions text;
    text.bookmarks = options.bookmarks;
    text.newAnchorName = options.newAnchorName ? options.newAnchorName : NewAnchorName;
    return text;
  }

  TextPlace Place() const {
    TextPlace place;
    place.linkable = options_.addresses && anchors_ == 0;
    place.room = textOnly_ > 0 ? 0 : maxDepth_ - depth_;
    return place;
  }

  bool CanNest() const { return textOnly_ == 0 && depth_ < maxDepth_; }

  // Markup that writes nothing.
  void Boundary() { EndOutsideRun(); }

  ByteString& Markup(bool breaksLine) {
    EndOutsideRun();
    return text_.Markup(breaksLine);
  }

  void EndOutsideRun() {
    outsideBlanks_.clear();
    outsideText_ = false;
  }

  // Writes what the element becomes and says what becomes of its end tag.
  Fate Decide(std::string_view name, const ElementRule* rule,
              const std::vector<HtmlAttribute>& attributes, bool empty) {
    if (dropping_ > 0 || (rule && (rule->flags & kDropsContent))) {
      Boundary();
      return Fate::kDropped;
    }
    if (textOnly_ > 0) {
      Boundary();
      return Fate::kUnwrapped;
    }
    if (name == "img") {
      Image(attributes);
      return Fate::kUnwrapped;
    }
    if (!rule || !(rule->flags & kEnml)) {
      Boundary();
      if (rule && (rule->flags & kSeparates)) {
        // A control's label would run into the words beside it.
        text_.Text(" ", Place());
        return Fate::kSetApart;
      }
      return Fate::kUnwrapped;
    }
    if ((name == "en-media" && !IsNoteMedia(attributes)) || !CanNest()) {
      Boundary();  // left out, its content kept
      return Fate::kUnwrapped;
    }
    empty = empty || (rule->flags & kEmptyInEnml);
    WriteStartTag(Markup(!(rule->flags & kInline)), *rule, name, attributes, empty);
    if (empty) return Fate::kUnwrapped;  // what an empty element held follows it
    ++depth_;
    if (name == "a") ++anchors_;
    if (rule->flags & kTextOnly) ++textOnly_;
    return Fate::kKept;
  }

  void WriteStartTag(ByteString& out, const ElementRule& rule, std::string_view name,
                     const std::vector<HtmlAttribute>& attributes, bool empty) {
    out += '<';
    out.append(name.data(), name.size());
    written_.clear();
    for (const HtmlAttribute& attribute : attributes) {
      // Each attribute once, the first of its name that may be written: the names
      // looked through are at most those ENML declares for the element, however many
      // the tag holds.
      if (!IsXmlName(attribute.written) || !IsDeclaredAttribute(rule, attribute.name) ||
          std::find(written_.begin(), written_.end(), attribute.name) != written_.end())
        continue;
      if (IsAddressAttribute(attribute.name) && IsUnsafeAddress(attribute.value)) continue;
      if (attribute.name == "style" && IsUnsafeStyle(attribute.value)) continue;
      if (name == "en-todo" && attribute.value != "true" && attribute.value != "false") continue;
      written_.push_back(attribute.name);
      out += ' ';
      out.append(attribute.name.data(), attribute.name.size());
      out += "=\"";
      AppendEscapedAttribute(out, attribute.value);
      out += '"';
    }
    out += empty ? "/>" : ">";
  }

  bool IsNoteMedia(const std::vector<HtmlAttribute>& attributes) const {
    const HtmlAttribute* hash = FindAttribute(attributes, "hash");
    return hash && FindAttribute(attributes, "type") && options_.pictures &&
           options_.pictures->IsNoteMedia(hash->value);
  }

  // A picture of the page becomes its en-media; one from elsewhere, which the note
  // cannot show, a link to it that names it, or just its name inside another link.
  void Image(const std::vector<HtmlAttribute>& attributes) {
    const HtmlAttribute* source = FindAttribute(attributes, "src");
    if (source && options_.pictures) {
      PictureLookup::Media media;
      switch (options_.pictures->Find(source->value, media)) {
        case PictureLookup::Found::kMedia:
          if (CanNest()) WriteMedia(media);
          else Boundary();
          return;
        case PictureLookup::Found::kLeftOut:
          Boundary();
          return;
        case PictureLookup::Found::kNone:
          break;
      }
    }
    const HtmlAttribute* alt = FindAttribute(attributes, "alt");
    const std::string_view href =
        source && !IsUnsafeAddress(source->value) ? source->value : std::string_view();
    std::string_view label = alt ? Trimmed(alt->value) : std::string_view();
    if (label.empty()) label = FileName(href);
    if (label.empty()) {
      Boundary();
      return;
    }
    if (href.empty() || anchors_ > 0 || !CanNest()) {
      Boundary();
      text_.Text(label, Place());
      return;
    }
    ByteString& out = Markup(true);
    out += "<a href=\"";
    AppendEscapedAttribute(out, href);
    out += "\">";
    // The name is text inside the link, as a second pass reads it.
    TextPlace place = Place();
    place.linkable = false;
    --place.room;
    text_.Text(label, place);
    Markup(true) += "</a>";
  }

  void WriteMedia(const PictureLookup::Media& media) {
    ByteString& out = Markup(true);
    out += "<en-media type=\"";
    AppendEscapedAttribute(out, media.mime);
    out += "\" hash=\"";
    AppendEscapedAttribute(out, media.hash);
    out += '"';
    if (media.width > 0 && media.height > 0) {
      out += " width=\"" + std::to_string(media.width) + "\" height=\"" +
             std::to_string(media.height) + "\"";
    }
    out += "/>";
  }

  // HTML's end tags that may be left out: a new item closes the one before it. Elements
  // that are unwrapped write nothing, so the item before is the nearest one that does
  // (or drops its content); a second pass then sees the same.
  void CloseImpliedBy(ItemKind item) {
    if (item == ItemKind::kNone) return;
    const auto closeIfTop = [&](ItemKind kind) {
      auto it = stack_.rbegin();
      while (it != stack_.rend() && (it->fate == Fate::kUnwrapped || it->fate == Fate::kSetApart))
        ++it;
      if (it == stack_.rend() || !it->rule || it->rule->item != kind) return;
      const size_t depth = static_cast<size_t>(stack_.rend() - it) - 1;
      while (stack_.size() > depth) CloseTop();
    };
    // A row ends the cell before it, and then the row.
    if (item == ItemKind::kRow) closeIfTop(ItemKind::kCell);
    closeIfTop(item);
  }

  void Push(std::string_view name, const ElementRule* rule, Fate fate, bool isBody) {
    stack_.push_back({std::string(name), rule, fate, isBody});
    if (rule) ++ruleOpen_[ElementRuleIndex(*rule)];
    else ++otherOpen_[stack_.back().name];
    if (fate == Fate::kDropped) ++dropping_;
  }

  size_t OpenCount(std::string_view name, const ElementRule* rule) const {
    if (rule) return ruleOpen_[ElementRuleIndex(*rule)];
    const auto it = otherOpen_.find(std::string(name));
    return it == otherOpen_.end() ? 0 : it->second;
  }

  void CloseTop() {
    Open open = std::move(stack_.back());
    stack_.pop_back();
    if (open.rule) {
      --ruleOpen_[ElementRuleIndex(*open.rule)];
    } else {
      const auto it = otherOpen_.find(open.name);
      if (--it->second == 0) otherOpen_.erase(it);
    }
    switch (open.fate) {
      case Fate::kKept: {
        ByteString& out = Markup(!(open.rule->flags & kInline));
        out += "</";
        out += open.name;
        out += '>';
        --depth_;
        if (open.name == "a") --anchors_;
        if (open.rule->flags & kTextOnly) --textOnly_;
        break;
      }
      case Fate::kDropped:
        --dropping_;
        Boundary();
        break;
      case Fate::kSetApart:
        if (dropping_ == 0) text_.Text(" ", Place());
        Boundary();
        break;
      case Fate::kUnwrapped:
        Boundary();
        break;
    }
    if (open.isBody) body_ = Body::kAfter;
  }

  void Flush() {
    if (ok_ && !out_.empty()) ok_ = sink_(out_);
    out_.clear();
  }

  EnmlOptions options_;
  ByteSink sink_;
  ByteString out_;  // written, not yet handed to the sink
  NoteText text_;
  const int maxDepth_;
  std::vector<Open> stack_;
  std::vector<size_t> ruleOpen_;  // open elements by rule
  std::unordered_map<std::string, size_t> otherOpen_;  // and those without one, by name
  int depth_ = 0;     // elements written and open
  int dropping_ = 0;  // open elements that drop their content
  int anchors_ = 0;   // open a elements written
  int textOnly_ = 0;  // open elements that hold text only
  Body body_ = Body::kBefore;
  std::string outsideBlanks_;  // whitespace outside the body, kept until text follows
  bool outsideText_ = false;   // the run outside the body holds more than whitespace
  std::vector<std::string_view> written_;
  bool ok_ = true;
  HtmlTokenizer tokenizer_;  // last: it calls back into the members above
};

EnmlPass::EnmlPass(const EnmlOptions& options, ByteSink sink)
    : tree_(std::make_unique<Tree>(options, std::move(sink))) {}

EnmlPass::~EnmlPass() = default;

bool EnmlPass::Feed(std::string_view html) { return tree_->Feed(html); }

bool EnmlPass::Finish() { return tree_->Finish(); }

bool FeedWideHtml(EnmlPass& pass, std::u16string_view html) {
  constexpr size_t kSlice = 16 * 1024;
  std::string utf8;
  for (size_t at = 0; at < html.size();) {
    utf8.clear();
    for (const size_t end = std::min(html.size(), at + kSlice); at < end; ++at) {
      uint32_t point = html[at];
      if ((point & 0xFC00) == 0xD800 && at + 1 < html.size() && (html[at + 1] & 0xFC00) == 0xDC00)
        point = 0x10000 + ((point - 0xD800) << 10) + (html[++at] - 0xDC00);
      if (point < 0x80) {
        utf8.push_back(static_cast<char>(point));
      } else {
        char bytes[4];
        utf8.append(bytes, EncodeUtf8(point, bytes));
      }
    }
    if (!pass.Feed(utf8)) return false;
  }
  return true;
}

ByteString CleanUpHtml(std::string_view html, const EnmlOptions& options) {
  ByteString enml;
  EnmlPass pass(options, [&enml](std::string_view bytes) {
    enml.append(bytes.data(), bytes.size());
    return true;
  });
  pass.Feed(html);
  pass.Finish();
  return enml;
}
