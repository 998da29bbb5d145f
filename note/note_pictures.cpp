#include "note/note_pictures.h"

#include <map>
#include <set>
#include <string>
#include <utility>

#include "convert/picture_png.h"
#include "evernote/md5.h"
#include "irun/irun.h"

namespace {

constexpr WideView kImageStart = u"<img src=\"";

struct Attached {
  bool leftOut = false;
  std::string mime;
  std::string hash;
  int width = 0;  // the display size, for references that do not give it
  int height = 0;
};

bool StartsWith(const ByteString& bytes, const char* magic, size_t size) {
  return bytes.size() >= size && bytes.compare(0, size, magic, size) == 0;
}

uint32_t BigEndian32(const ByteString& bytes, size_t at) {
  auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>(bytes[at + i])); };
  return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

// The type of bytes that go into the note as they are, from their first bytes; empty for
// anything else.
std::string FileMime(const ByteString& bytes) {
  if (StartsWith(bytes, "\x89PNG\r\n\x1a\n", 8)) return "image/png";
  if (StartsWith(bytes, "\xff\xd8\xff", 3)) return "image/jpeg";
  if (StartsWith(bytes, "GIF87a", 6) || StartsWith(bytes, "GIF89a", 6)) return "image/gif";
  return std::string();
}

// The image's own size in pixels where its header tells it: PNG and GIF.
void ImageSize(const ByteString& bytes, const std::string& mime, int& width, int& height) {
  if (mime == "image/png" && bytes.size() >= 24) {
    width = static_cast<int>(BigEndian32(bytes, 16));
    height = static_cast<int>(BigEndian32(bytes, 20));
  } else if (mime == "image/gif" && bytes.size() >= 10) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    width = byte(6) | byte(7) << 8;
    height = byte(8) | byte(9) << 8;
  }
}

// The value of name="…" inside one tag; empty when absent.
WideView AttributeValue(WideView tag, WideView name) {
  const WideString key = u" " + WideString(name) + u"=\"";
  const size_t at = tag.find(key);
  if (at == WideView::npos) return WideView();
  const size_t start = at + key.size();
  const size_t end = tag.find(u'"', start);
  return end == WideView::npos ? WideView() : tag.substr(start, end - start);
}

class PictureAttacher {
 public:
  PictureAttacher(const std::function<void(const WideString&)>& report) : report_(report) {}

  std::vector<NoteResource> Attach(WideString& html, std::vector<PictureData>& pictures) {
    for (PictureData& picture : pictures) byName_[picture.name] = &picture;
    WideString out;
    size_t copied = 0;
    for (size_t at = html.find(kImageStart); at != WideString::npos;
         at = html.find(kImageStart, at + 1)) {
      const size_t end = html.find(u'>', at);
      if (end == WideString::npos) break;
      const WideView tag = WideView(html).substr(at, end + 1 - at);
      const WideView src = AttributeValue(tag, u"src");
      const auto found = byName_.find(ByteString(src.begin(), src.end()));
      if (found == byName_.end()) continue;  // no data: the reference stays
      if (out.empty()) out.reserve(html.size());
      out.append(html, copied, at - copied);
      copied = end + 1;
      // The size comes from the picture's own data, not from the reference.
      const Attached& attached = AttachOnce(*found->second);
      if (attached.leftOut) continue;
      const int width = attached.width, height = attached.height;
      out += u"<en-media type=\"" + WideFromAscii(attached.mime) + u"\" hash=\"" +
             WideFromAscii(attached.hash) + u"\"";
      if (width > 0 && height > 0)
        out += u" width=\"" + WideNumber(width) + u"\" height=\"" + WideNumber(height) + u"\"";
      out += u"/>";
    }
    if (copied > 0) {
      out.append(html, copied, WideString::npos);
      html.swap(out);
    }
    return std::move(resources_);
  }

 private:
  // The picture as a resource, made when it is first referred to.
  const Attached& AttachOnce(PictureData& picture) {
    auto done = attached_.find(&picture);
    if (done != attached_.end()) return done->second;
    Attached& attached = attached_[&picture];
    int width = 0, height = 0;
    PictureDisplaySize(picture, width, height);
    attached.width = width;
    attached.height = height;
    NoteResource resource;
    resource.fileName = WideString(picture.name.begin(), picture.name.end());
    const bool drawn = picture.format == IRUN_PICTURE_EMF || picture.format == IRUN_PICTURE_WMF ||
                       picture.format == IRUN_PICTURE_DIB || picture.format == IRUN_PICTURE_BITMAP;
    WideString failure;
    if (drawn) {
      if (RenderPictureAsPng(picture, width, height, resource.data, failure)) {
        resource.mime = "image/png";
        resource.width = width;
        resource.height = height;
        // Named for what it now holds.
        resource.fileName = resource.fileName.substr(0, resource.fileName.rfind(u'.')) + u".png";
      }
    } else {
      resource.mime = FileMime(picture.bytes);
      if (resource.mime.empty()) {
        failure = u"its format is not one a note can show";
      } else {
        resource.data = std::move(picture.bytes);
        ImageSize(resource.data, resource.mime, resource.width, resource.height);
      }
    }
    if (resource.mime.empty()) {
      report_(u"Picture " + WideString(picture.name.begin(), picture.name.end()) +
              u" is left out: " + failure);
      attached.leftOut = true;
      return attached;
    }
    attached.mime = resource.mime;
    attached.hash = Md5Hex(resource.data);
    if (hashes_.insert(attached.hash).second) resources_.push_back(std::move(resource));
    return attached;
  }

  const std::function<void(const WideString&)>& report_;
  std::map<ByteString, PictureData*> byName_;
  std::map<const PictureData*, Attached> attached_;
  std::set<std::string> hashes_;
  std::vector<NoteResource> resources_;
};

}  // namespace

std::vector<NoteResource> AttachPictures(WideString& html, std::vector<PictureData>& pictures,
                                         const std::function<void(const WideString&)>& report) {
  if (pictures.empty()) return {};
  return PictureAttacher(report).Attach(html, pictures);
}
