// The OLE drop target of a frame window: text (CF_TEXT) and files (CF_HDROP) dragged onto the
// window from the shell or another program are handed to the window's DropHandler; shell
// shortcuts among the files are passed on as the short path of what they point to.
//
// Everything runs on the user-interface thread, inside the drag's modal loop (OLE calls the
// target on the thread that registered it).
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <memory>
#include <new>

#include "platform/Platform.h"
#include "platform/win32/ComObject.h"
#include "platform/win32/DropTarget.h"
#include "platform/win32/Handles.h"

namespace kestrane::platform {

using win32::toHandle;

namespace {

// Every name is read into a buffer of this size; a name that does not fit is left out rather
// than passed on cut (it would name another file).
constexpr UINT kNameBytes = 1024;
// Characters of a name converted for the shell link.
constexpr int kWideNameChars = 2048;
// Resolve without any user interface, any match, searching at most 500 ms.
const DWORD kResolveFlags = DWORD{SLR_NO_UI} | DWORD{SLR_ANY_MATCH} | (500u << 16);
// The drop types of DropHandler.
constexpr long kDropFiles = 0;
constexpr long kDropText = 1;

FORMATETC formatOf(CLIPFORMAT format) {
  return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// The last "." of the name and what follows it, ignoring case, is ".lnk".
bool isShortcutName(const char* name) {
  const char* dot = std::strrchr(name, '.');
  return dot != nullptr && lstrcmpiA(dot, ".lnk") == 0;
}

// Replaces a shortcut's name in place by its target's short path. False, with the name
// unchanged, when the name is no shortcut or the shortcut cannot be loaded or resolved.
bool resolveShortcut(char* name) {
  if (!isShortcutName(name)) return false;
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  bool resolved = false;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    WCHAR wide[kWideNameChars] = {};
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide, kWideNameChars) > 0 &&
        SUCCEEDED(file->Load(wide, STGM_READ)) &&
        SUCCEEDED(link->Resolve(nullptr, kResolveFlags))) {
      char target[kNameBytes] = "";
      if (link->GetPath(target, kNameBytes, nullptr, SLGP_SHORTPATH) == S_OK &&
          target[0] != '\0') {
        // Some shells hand out the long form whatever the flag says; the short one is asked
        // of the file system then (it stays as it is when the target is gone).
        char shortened[kNameBytes] = "";
        const DWORD length = GetShortPathNameA(target, shortened, kNameBytes);
        std::memcpy(name, length > 0 && length < kNameBytes ? shortened : target, kNameBytes);
        resolved = true;
      }
    }
    file->Release();
  }
  link->Release();
  return resolved;
}

int liveTargets = 0;

// Count 0 at first: the registration's reference keeps it alive, revoking releases it.
class DropTarget final : public win32::ComObject<IDropTarget, IID_IDropTarget> {
 public:
  DropTarget(HWND window, DropHandler* handler)
      : ComObject(0), window_(window), handler_(handler) {
    ++liveTargets;
  }
  ~DropTarget() override { --liveTargets; }

  // Accepts data that offers text or files.
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point,
                                      DWORD* effect) override {
    accept_ = false;
    if (data != nullptr) {
      FORMATETC text = formatOf(CF_TEXT);
      FORMATETC files = formatOf(CF_HDROP);
      accept_ = data->QueryGetData(&text) == S_OK || data->QueryGetData(&files) == S_OK;
    }
    if (accept_) return DragOver(keyState, point, effect);
    if (effect != nullptr) *effect = DROPEFFECT_NONE;
    return S_OK;
  }
  // The cursor shows a copy while Control is held, else a move.
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL, DWORD* effect) override {
    if (effect != nullptr) {
      *effect = !accept_                       ? DROPEFFECT_NONE
                : (keyState & MK_CONTROL) != 0 ? DROPEFFECT_COPY
                                               : DROPEFFECT_MOVE;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }

  // Hands the text or the files to the handler. Whatever the cursor showed, the drop ends as a
  // copy when taken and as nothing when not: the source must never delete its data for a move
  // that did not take place.
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect) override {
    bool taken = false;
    if (data != nullptr && handler_ != nullptr) {
      RECT bounds{};
      GetWindowRect(window_, &bounds);
      const Position where{point.x - bounds.left, point.y - bounds.top};
      FORMATETC text = formatOf(CF_TEXT);
      FORMATETC files = formatOf(CF_HDROP);
      STGMEDIUM medium{};
      if (data->GetData(&text, &medium) == S_OK) {
        taken = dropText(medium.hGlobal, where);
        ReleaseStgMedium(&medium);
      } else if (data->GetData(&files, &medium) == S_OK) {
        taken = dropFiles(static_cast<HDROP>(medium.hGlobal), where);
        ReleaseStgMedium(&medium);
      }
    }
    if (effect != nullptr) *effect = taken ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return DragLeave();
  }

 private:
  // The text is handed over as a terminated copy, so that no reader can run past the block.
  bool dropText(HGLOBAL block, Position where) {
    const void* locked = block != nullptr ? GlobalLock(block) : nullptr;
    if (locked == nullptr) return false;
    bool taken = false;
    const SIZE_T size = GlobalSize(block);
    std::unique_ptr<char[]> copy(size > 0 ? new (std::nothrow) char[size + 1] : nullptr);
    if (copy) {
      std::memcpy(copy.get(), locked, size);
      copy[size] = '\0';
      void* item = copy.get();
      taken = handler_->dropped(&item, static_cast<long>(size), kDropText, where);
    }
    GlobalUnlock(block);
    return taken;
  }

  bool dropFiles(HDROP drop, Position where) {
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    if (count == 0) return false;
    // One block of count names of kNameBytes each, and the list of pointers into it.
    std::unique_ptr<char[]> names(new (std::nothrow) char[std::size_t{count} * kNameBytes]);
    std::unique_ptr<void*[]> items(new (std::nothrow) void*[count]);
    if (!names || !items) return false;
    long obtained = 0;
    for (UINT i = 0; i < count; ++i) {
      const UINT length = DragQueryFileA(drop, i, nullptr, 0);
      if (length == 0 || length >= kNameBytes) continue;
      char* name = names.get() + std::size_t{kNameBytes} * static_cast<std::size_t>(obtained);
      if (DragQueryFileA(drop, i, name, kNameBytes) == 0) continue;
      resolveShortcut(name);
      items[obtained++] = name;
    }
    return obtained > 0 && handler_->dropped(items.get(), obtained, kDropFiles, where);
  }

  bool accept_ = false;
  HWND window_;
  DropHandler* handler_;
};

}  // namespace

bool registerDropTarget(WindowRef window, DropHandler* handler) {
  if (window == nullptr) return false;
  auto* target = new (std::nothrow) DropTarget(toHandle<HWND>(window), handler);
  if (target == nullptr) return false;
  target->AddRef();  // our hold while registering
  const bool registered = RegisterDragDrop(toHandle<HWND>(window), target) == S_OK;
  target->Release();  // the registration keeps its own reference
  return registered;
}

void revokeDropTarget(WindowRef window) {
  if (window != nullptr) RevokeDragDrop(toHandle<HWND>(window));
}

int win32::liveDropTargets() { return liveTargets; }

}  // namespace kestrane::platform
