// The page's pictures as resources of the note: each image reference with picture data
// becomes an en-media element naming its resource by MD5.
#pragma once

#include <vector>

#include "convert/pictures.h"
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
