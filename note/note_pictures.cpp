#include "note/note_pictures.h"

#include <utility>

#include "evernote/md5.h"
#include "picture/picture_png.h"
#include "picture/picture_size.h"

NotePictures::NotePictures(std::vector<PictureData>& pictures, const LogSink& report)
    : report_(report) {
  for (PictureData& picture : pictures) byName_[picture.name] = &picture;
}

PictureLookup::Found NotePictures::Find(std::string_view name, Media& media) {
  const auto found = byName_.find(name);
  if (found == byName_.end()) return Found::kNone;  // no data: the reference stays
  // The size comes from the picture's own data, not from the reference.
  const Attached& attached = AttachOnce(*found->second);
  if (attached.leftOut) return Found::kLeftOut;
  media = attached.media;
  return Found::kMedia;
}

bool NotePictures::IsNoteMedia(std::string_view hash) const {
  return hashes_.find(hash) != hashes_.end();
}

// The picture as a resource, made when it is first referred to.
const NotePictures::Attached& NotePictures::AttachOnce(PictureData& picture) {
  auto done = attached_.find(&picture);
  if (done != attached_.end()) return done->second;
  Attached& attached = attached_[&picture];
  int width = 0, height = 0;
  PictureDisplaySize(picture, width, height);
  attached.media.width = width;
  attached.media.height = height;
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
  attached.media.mime = resource.mime;
  attached.media.hash = Md5Hex(resource.data);
  if (hashes_.insert(attached.media.hash).second) resources_.push_back(std::move(resource));
  return attached;
}
