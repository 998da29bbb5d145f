#include "note/note_pictures.h"

#include <utility>

#include "evernote/md5.h"
#include "picture/picture_png.h"
#include "picture/picture_size.h"

namespace {

constexpr WideView kImageStart = u"<img src=\"";

// The value of name="…" inside one tag; empty when absent.
WideView AttributeValue(WideView tag, WideView name) {
  const WideString key = u" " + WideString(name) + u"=\"";
  const size_t at = tag.find(key);
  if (at == WideView::npos) return WideView();
  const size_t start = at + key.size();
  const size_t end = tag.find(u'"', start);
  return end == WideView::npos ? WideView() : tag.substr(start, end - start);
}

}  // namespace

PictureAttacher::PictureAttacher(std::vector<PictureData>& pictures, const LogSink& report)
    : report_(report) {
  for (PictureData& picture : pictures) byName_[picture.name] = &picture;
}

void PictureAttacher::Attach(WideString& html) {
  if (byName_.empty()) return;
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
}

// The picture as a resource, made when it is first referred to.
const PictureAttacher::Attached& PictureAttacher::AttachOnce(PictureData& picture) {
  auto done = attached_.find(&picture);
  if (done != attached_.end()) return done->second;
  Attached& attached = attached_[&picture];
  int width = 0, height = 0;
  PictureDisplaySize(picture, width, height);
  attached.width = width;
  attached.height = height;
  NoteResource resource;
  resource.fileName = WideString(picture.name.begin(), picture.name.end());
  const bool drawn = NeedsDrawing(picture.format);
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
    resource.mime = ImageMime(picture.bytes);
    if (resource.mime.empty()) {
      failure = u"its format is not one a note can show";
    } else {
      resource.data = std::move(picture.bytes);
      ImagePixelSize(resource.data, resource.mime, resource.width, resource.height);
    }
  }
  if (resource.mime.empty()) {
    report_.Line(u"Picture " + WideString(picture.name.begin(), picture.name.end()) +
            u" is left out: " + failure);
    attached.leftOut = true;
    return attached;
  }
  attached.mime = resource.mime;
  attached.hash = Md5Hex(resource.data);
  if (hashes_.insert(attached.hash).second) {
    hashList_.push_back(attached.hash);
    resources_.push_back(std::move(resource));
  }
  return attached;
}

std::vector<NoteResource> AttachPictures(WideString& html, std::vector<PictureData>& pictures,
                                         const LogSink& report) {
  if (pictures.empty()) return {};
  PictureAttacher attacher(pictures, report);
  attacher.Attach(html);
  return attacher.TakeResources();
}
