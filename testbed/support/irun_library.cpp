#include "testbed/support/irun_library.h"

namespace {

template <typename Proc>
void Find(HMODULE module, const char* name, Proc& proc) {
  proc = module ? reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

}  // namespace

IrunLibrary::IrunLibrary(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {
  Find(module_, "EXBufferOpenSession", open);
  Find(module_, "EXBufferConvert", convert);
  Find(module_, "EXBufferGetBody", getBody);
  Find(module_, "EXBufferCloseSession", close);
  Find(module_, "EXBufferGetPictureCount", pictureCount);
  Find(module_, "EXBufferGetPictureInfo", pictureInfo);
  Find(module_, "EXBufferCopyPicture", copyPicture);
}

IrunLibrary::~IrunLibrary() {
  if (module_) FreeLibrary(module_);
}
