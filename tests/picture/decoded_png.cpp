#include "tests/picture/decoded_png.h"

#include <wincodec.h>

#include "win/guards.h"

Decoded DecodePng(const ByteString& png) {
  Decoded image;
  UniqueComApartment com;
  UniqueCom<IWICImagingFactory> factory;
  UniqueCom<IWICStream> stream;
  UniqueCom<IWICBitmapDecoder> decoder;
  UniqueCom<IWICBitmapFrameDecode> frame;
  UniqueCom<IWICBitmapSource> converted;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()))) ||
      FAILED(factory.get()->CreateStream(stream.put())) ||
      FAILED(
          stream.get()->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(png.data())),
                                             static_cast<DWORD>(png.size()))) ||
      FAILED(factory.get()->CreateDecoderFromStream(
          stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())) ||
      FAILED(decoder.get()->GetFrame(0, frame.put())) ||
      FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(), converted.put())) ||
      FAILED(converted.get()->GetSize(&image.width, &image.height)))
    return Decoded{};
  GUID container{};
  if (FAILED(decoder.get()->GetContainerFormat(&container)) || container != GUID_ContainerFormatPng)
    return Decoded{};
  image.pixels.resize(static_cast<size_t>(image.width) * image.height);
  if (FAILED(converted.get()->CopyPixels(nullptr, image.width * 4, image.width * image.height * 4,
                                         reinterpret_cast<BYTE*>(image.pixels.data()))))
    return Decoded{};
  return image;
}
