// The page's pictures as resources of the note: the clean-up asks for each picture as it
// meets its image reference, and the picture is made a resource then.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "cleanup/enml_pass.h"
#include "picture/pictures.h"
#include "evernote/enex_writer.h"
#include "text/wide_string.h"
#include "win/log_sink.h"

// PNG, JPEG and GIF go as they are; metafiles and bitmaps are drawn at their display size
// as PNG. A picture that cannot be made a resource is left out, and report gets a line
// naming it. Pictures with the same bytes share one resource. The bytes of pictures that
// go as they are move into their resources (a page of photos is not held twice).
class NotePictures : public PictureLookup {
 public:
  // pictures must outlive this; we don't own report.
  NotePictures(std::vector<PictureData>& pictures, const LogSink& report);
  NotePictures(const NotePictures&) = delete;
  NotePictures& operator=(const NotePictures&) = delete;

  Found Find(std::string_view name, Media& media) override;
  bool IsNoteMedia(std::string_view hash) const override;
  std::vector<NoteResource> TakeResources() { return std::move(resources_); }

 private:
  struct Attached {
    bool leftOut = false;
    Media media;
  };
  const Attached& AttachOnce(PictureData& picture);

  const LogSink& report_;
  std::map<ByteString, PictureData*, std::less<>> byName_;
  std::map<const PictureData*, Attached> attached_;
  std::set<std::string, std::less<>> hashes_;
  std::vector<NoteResource> resources_;
};
