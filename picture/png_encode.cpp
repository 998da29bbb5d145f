#include "picture/png_encode.h"

#include <objidl.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "win/guards.h"

namespace {

constexpr int kRowsPerWrite = 64;  // rows handed to the encoder at a time

WideString HexResult(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(result));
  return WideFromAscii(text);
}

bool Succeeded(HRESULT result, const char* step, WideString& failure) {
  if (SUCCEEDED(result)) return true;
  failure = u"the PNG encoder cannot " + WideFromAscii(step) + u" (" + HexResult(result) + u")";
  return false;
}

}  // namespace

bool EncodePng(const BYTE* pixels, int width, int height, ByteString& png, WideString& failure) {
  UniqueComApartment com;
  if (!com) {
    failure = u"COM cannot start on this thread";
    return false;
  }
  UniqueCom<IWICImagingFactory> factory;
  UniqueCom<IStream> stream;
  UniqueCom<IWICBitmapEncoder> encoder;
  UniqueCom<IWICBitmapFrameEncode> frame;
  UniqueCom<IPropertyBag2> options;
  if (!Succeeded(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put())),
                 "start", failure) ||
      !Succeeded(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), "get memory", failure) ||
      !Succeeded(factory.get()->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put()),
                 "start", failure) ||
      !Succeeded(encoder.get()->Initialize(stream.get(), WICBitmapEncoderNoCache), "start",
                 failure) ||
      !Succeeded(encoder.get()->CreateNewFrame(frame.put(), options.put()), "add a frame",
                 failure) ||
      !Succeeded(frame.get()->Initialize(options.get()), "add a frame", failure) ||
      !Succeeded(frame.get()->SetSize(width, height), "take the size", failure))
    return false;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (!Succeeded(frame.get()->SetPixelFormat(&format), "take 24-bit pixels", failure)) return false;
  if (format != GUID_WICPixelFormat24bppBGR) {
    failure = u"the PNG encoder does not take 24-bit pixels";
    return false;
  }
  const size_t sourceRow = static_cast<size_t>(width) * 4;
  const UINT row = (static_cast<UINT>(width) * 3 + 3) & ~3u;
  std::vector<BYTE> strip(static_cast<size_t>(row) * kRowsPerWrite);
  for (int top = 0; top < height; top += kRowsPerWrite) {
    const int lines = std::min(kRowsPerWrite, height - top);
    for (int y = 0; y < lines; ++y) {
      const BYTE* from = pixels + (top + y) * sourceRow;
      BYTE* to = strip.data() + static_cast<size_t>(y) * row;
      for (int x = 0; x < width; ++x, from += 4, to += 3) std::memcpy(to, from, 3);
    }
    if (!Succeeded(frame.get()->WritePixels(lines, row, row * lines, strip.data()),
                   "take the pixels", failure))
      return false;
  }
  if (!Succeeded(frame.get()->Commit(), "finish", failure) ||
      !Succeeded(encoder.get()->Commit(), "finish", failure))
    return false;

  STATSTG status{};
  HGLOBAL memory = nullptr;
  if (!Succeeded(stream.get()->Stat(&status, STATFLAG_NONAME), "hand over the file", failure) ||
      !Succeeded(GetHGlobalFromStream(stream.get(), &memory), "hand over the file", failure))
    return false;
  // The stream's memory may be larger than what was written.
  const size_t length = static_cast<size_t>(status.cbSize.QuadPart);
  UniqueGlobalLock locked(memory);
  if (!locked || GlobalSize(memory) < length) {
    failure = u"the PNG encoder's memory cannot be read";
    return false;
  }
  png.assign(static_cast<const char*>(locked.data()), length);
  return true;
}
