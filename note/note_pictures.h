// The page's pictures as resources of the note: each image reference with picture data
// becomes an en-media element naming its resource by MD5.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "picture/pictures.h"
#include "evernote/enex_writer.h"
#include "text/wide_string.h"
#include "win/log_sink.h"

// Turns each picture into a resource (PNG, JPEG and GIF as they are; metafiles and
// bitmaps drawn at their display size as PNG) and puts an en-media element with its type,
// hash and display size in place of every "<img src=\"<name>\" ...>" of html that refers
// to it. A picture that cannot be made a resource is left out: its image references go,
// and report gets a line naming it. References without picture data stay as they are.
// Pictures with the same bytes share one resource. Linear in the length of html. The
// bytes of pictures that go as they are move into their resources (a page of photos is
// not held twice), so those pictures are left without bytes.
std::vector<NoteResource> AttachPictures(WideString& html, std::vector<PictureData>& pictures,
                                         const LogSink& report);

// The same for a body that comes a segment at a time: each picture is made a resource
// when its first reference is met, in whichever segment that is.
class PictureAttacher {
 public:
  // pictures must outlive the attacher; the bytes of those that go as they are move out.
  PictureAttacher(std::vector<PictureData>& pictures, const LogSink& report);
  PictureAttacher(const PictureAttacher&) = delete;
  PictureAttacher& operator=(const PictureAttacher&) = delete;

  void Attach(WideString& html);
  // The MD5 of each resource made so far: the names the content's en-media may use.
  const std::vector<std::string>& Hashes() const { return hashList_; }
  std::vector<NoteResource> TakeResources() { return std::move(resources_); }

 private:
  struct Attached {
    bool leftOut = false;
    std::string mime;
    std::string hash;
    int width = 0;  // the display size, for references that do not give it
    int height = 0;
  };
  const Attached& AttachOnce(PictureData& picture);

  const LogSink& report_;
  std::map<ByteString, PictureData*> byName_;
  std::map<const PictureData*, Attached> attached_;
  std::set<std::string> hashes_;
  std::vector<std::string> hashList_;
  std::vector<NoteResource> resources_;
};
