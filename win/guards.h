// One guard shape for every Win32 handle: the handle type, its close function and its
// empty value. Guards are move-only and release their handle on every way out. Every
// guard, handle or scoped call alike, is named Unique<what it holds>.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>

// The empty value is given as a number because INVALID_HANDLE_VALUE, the empty value of
// file handles, is not a constant that a template argument may hold.
template <typename Handle, auto Close, LONG_PTR kEmptyValue = 0>
class UniqueHandle {
  static inline const Handle kEmpty = reinterpret_cast<Handle>(kEmptyValue);

 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != kEmpty; }
  Handle release() { return std::exchange(handle_, kEmpty); }
  void reset(Handle handle = kEmpty) {
    if (handle_ != kEmpty) Close(handle_);
    handle_ = handle;
  }
  // For out-parameters of Win32 calls: the old handle is released first.
  Handle* put() {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = reinterpret_cast<Handle>(kEmptyValue);
};

inline void CloseKey(HKEY key) { RegCloseKey(key); }
// Closes a kernel object handle (file, process, thread, snapshot); a guard has no way
// to report a failed close, and none that matters can happen to a handle it owns.
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void UnloadModule(HMODULE module) { FreeLibrary(module); }
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void FreeGlobalBlock(HGLOBAL block) { GlobalFree(block); }
inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void FreeSystemString(BSTR text) { SysFreeString(text); }
inline void DeleteDcHandle(HDC dc) { DeleteDC(dc); }
inline void DeleteEnhMetafileHandle(HENHMETAFILE metafile) { DeleteEnhMetaFile(metafile); }
inline void DeleteMetafileHandle(HMETAFILE metafile) { DeleteMetaFile(metafile); }
template <typename Interface>
void ReleaseInterface(Interface* object) {
  object->Release();
}

using UniqueKey = UniqueHandle<HKEY, CloseKey>;
using UniqueProcess = UniqueHandle<HANDLE, CloseKernelHandle>;
using UniqueThread = UniqueHandle<HANDLE, CloseKernelHandle>;
using UniqueFile = UniqueHandle<HANDLE, CloseKernelHandle, -1>;
// A toolhelp snapshot fails with INVALID_HANDLE_VALUE, as file handles do.
using UniqueSnapshot = UniqueHandle<HANDLE, CloseKernelHandle, -1>;
// A system string that the host handed over; ours to free.
using UniqueHostString = UniqueHandle<BSTR, FreeSystemString>;
using UniqueModule = UniqueHandle<HMODULE, UnloadModule>;
using UniqueFont = UniqueHandle<HFONT, DeleteGdiObject>;
using UniqueGlobal = UniqueHandle<HGLOBAL, FreeGlobalBlock>;
using UniqueIcon = UniqueHandle<HICON, DestroyIconHandle>;
// A memory device context (CreateCompatibleDC); window DCs go through UniqueWindowDc.
using UniqueDc = UniqueHandle<HDC, DeleteDcHandle>;
using UniqueBitmap = UniqueHandle<HBITMAP, DeleteGdiObject>;
using UniquePalette = UniqueHandle<HPALETTE, DeleteGdiObject>;
using UniqueEnhMetafile = UniqueHandle<HENHMETAFILE, DeleteEnhMetafileHandle>;
using UniqueMetafile = UniqueHandle<HMETAFILE, DeleteMetafileHandle>;
// A COM interface pointer we hold one reference of.
template <typename Interface>
using UniqueCom = UniqueHandle<Interface*, ReleaseInterface<Interface>>;

// COM on this thread for a scope. A thread that already runs COM in the other apartment
// model (RPC_E_CHANGED_MODE) keeps it: COM works there as it is, and nothing is undone.
class UniqueComApartment {
 public:
  UniqueComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  UniqueComApartment(const UniqueComApartment&) = delete;
  UniqueComApartment& operator=(const UniqueComApartment&) = delete;
  ~UniqueComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  explicit operator bool() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

// GlobalLock held for a scope.
class UniqueGlobalLock {
 public:
  explicit UniqueGlobalLock(HGLOBAL block) : block_(block), data_(GlobalLock(block)) {}
  UniqueGlobalLock(const UniqueGlobalLock&) = delete;
  UniqueGlobalLock& operator=(const UniqueGlobalLock&) = delete;
  ~UniqueGlobalLock() {
    if (data_) GlobalUnlock(block_);
  }
  void* data() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  HGLOBAL block_;
  void* data_;
};

// The clipboard, open for a scope.
class UniqueClipboard {
 public:
  explicit UniqueClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  UniqueClipboard(const UniqueClipboard&) = delete;
  UniqueClipboard& operator=(const UniqueClipboard&) = delete;
  ~UniqueClipboard() {
    if (open_) CloseClipboard();
  }
  explicit operator bool() const { return open_; }

 private:
  bool open_;
};

// A window's device context, for a scope.
class UniqueWindowDc {
 public:
  explicit UniqueWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  UniqueWindowDc(const UniqueWindowDc&) = delete;
  UniqueWindowDc& operator=(const UniqueWindowDc&) = delete;
  ~UniqueWindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context for a scope; a null object selects nothing.
class UniqueSelection {
 public:
  UniqueSelection(HDC dc, HGDIOBJ object)
      : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
  UniqueSelection(const UniqueSelection&) = delete;
  UniqueSelection& operator=(const UniqueSelection&) = delete;
  ~UniqueSelection() {
    if (old_) SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};
