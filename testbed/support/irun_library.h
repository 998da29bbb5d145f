// irun.dll loaded from a path for a test: its seven calls looked up by their
// undecorated names, as the plug-in looks them up, and the library freed at the end.
#pragma once

#include <windows.h>

#include <string>

#include "irun/irun.h"

class IrunLibrary {
 public:
  explicit IrunLibrary(const std::wstring& path);
  ~IrunLibrary();
  IrunLibrary(const IrunLibrary&) = delete;
  IrunLibrary& operator=(const IrunLibrary&) = delete;

  // True when the library loaded and has the four conversion calls.
  bool HasConversion() const { return open && convert && getBody && close; }
  // True when it has the three picture calls as well.
  bool HasPictures() const { return HasConversion() && pictureCount && pictureInfo && copyPicture; }

  EXBufferOpenSessionProc open = nullptr;
  EXBufferConvertProc convert = nullptr;
  EXBufferGetBodyProc getBody = nullptr;
  EXBufferCloseSessionProc close = nullptr;
  EXBufferGetPictureCountProc pictureCount = nullptr;
  EXBufferGetPictureInfoProc pictureInfo = nullptr;
  EXBufferCopyPictureProc copyPicture = nullptr;

 private:
  HMODULE module_;
};
