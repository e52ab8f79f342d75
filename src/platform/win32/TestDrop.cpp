// Drags on Windows: a real OLE drag (DoDragDrop) of text or files from a data object of our own
// onto a window, dropped once the target has answered the drag with the wanted keys held; and
// shell shortcuts made through the shell's link object.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/TestDrop.h"
#include "platform/TestUser.h"
#include "platform/win32/ComObject.h"
#include "platform/win32/DropTarget.h"
#include "platform/win32/Handles.h"

namespace kestrane::platform::testdrop {

using win32::toHandle;

namespace {

// How long a drag may wait for the target to see the keys (under wine the key state follows
// input only once it has been processed).
constexpr DWORD kDragTimeoutMs = 5000;

// Offers one format in global memory; every GetData hands out a fresh copy the receiver frees.
class DataObject final : public win32::ComObject<IDataObject, IID_IDataObject> {
 public:
  DataObject(CLIPFORMAT format, std::vector<char> bytes)
      : ComObject(1),
        format_{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
        bytes_(std::move(bytes)) {}

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK || medium == nullptr) return DV_E_FORMATETC;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes_.size());
    if (block == nullptr) return E_OUTOFMEMORY;
    CopyMemory(GlobalLock(block), bytes_.data(), bytes_.size());
    GlobalUnlock(block);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    if (format == nullptr || format->cfFormat != format_.cfFormat ||
        (format->tymed & TYMED_HGLOBAL) == 0 || format->dwAspect != DVASPECT_CONTENT) {
      return DV_E_FORMATETC;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out != nullptr) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    return SHCreateStdEnumFmtEtc(1, &format_, out);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  FORMATETC format_;
  std::vector<char> bytes_;
};

// Drops once the target has answered a pass of the drag that carried the wanted keys, or
// when waiting for them takes too long.
class DropSource final : public win32::ComObject<IDropSource, IID_IDropSource> {
 public:
  explicit DropSource(bool wantControl)
      : ComObject(1), wantControl_(wantControl), start_(GetTickCount()) {}

  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keyState) override {
    if (escape) return DRAGDROP_S_CANCEL;
    keysShown_ = ((keyState & MK_CONTROL) != 0) == wantControl_;
    if (keysShown_ && answered_) return DRAGDROP_S_DROP;
    if (GetTickCount() - start_ > kDragTimeoutMs) return DRAGDROP_S_DROP;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override {
    if (keysShown_) {
      hoverEffect = effect;
      answered_ = true;
    }
    return DRAGDROP_S_USEDEFAULTCURSORS;
  }

  DWORD hoverEffect = DROPEFFECT_NONE;

 private:
  bool wantControl_;
  DWORD start_;
  bool keysShown_ = false;
  bool answered_ = false;
};

Outcome drag(WindowRef window, Position client, CLIPFORMAT format, std::vector<char> bytes,
             int keys) {
  Outcome outcome;
  RECT bounds{};
  if (window == nullptr || !GetWindowRect(toHandle<HWND>(window), &bounds)) return outcome;
  OleInitialize(nullptr);
  // The cursor over the drop point and the keys held, both awaited.
  const Position at{bounds.left + client.x, bounds.top + client.y};
  testuser::hold(testuser::Input{keys & ControlBit, at});

  auto* data = new DataObject(format, std::move(bytes));
  auto* source = new DropSource((keys & ControlBit) != 0);
  DWORD effect = DROPEFFECT_NONE;
  const HRESULT result = DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
  const DWORD hoverEffect = source->hoverEffect;
  data->Release();
  source->Release();
  testuser::hold(testuser::Input{0, at});
  OleUninitialize();

  outcome.dropped = result == DRAGDROP_S_DROP;
  outcome.hoverEffect = hoverEffect;
  outcome.dropEffect = effect;
  return outcome;
}

}  // namespace

Outcome dragText(WindowRef window, Position client, const std::string& text, int keys) {
  std::vector<char> bytes(text.begin(), text.end());
  bytes.push_back('\0');
  return drag(window, client, CF_TEXT, std::move(bytes), keys);
}

Outcome dragFiles(WindowRef window, Position client, const std::vector<std::string>& paths,
                  int keys) {
  // DROPFILES, then the names one after the other, each terminated, and a final terminator.
  std::vector<char> bytes(sizeof(DROPFILES), '\0');
  auto* header = reinterpret_cast<DROPFILES*>(bytes.data());
  header->pFiles = sizeof(DROPFILES);
  header->fWide = FALSE;
  for (const std::string& path : paths) {
    bytes.insert(bytes.end(), path.begin(), path.end());
    bytes.push_back('\0');
  }
  bytes.push_back('\0');
  return drag(window, client, CF_HDROP, std::move(bytes), keys);
}

Outcome dragOtherData(WindowRef window, Position client) {
  const char text[] = "neither text nor files";
  return drag(window, client, static_cast<CLIPFORMAT>(RegisterClipboardFormatA("Kestrane test")),
              std::vector<char>(text, text + sizeof text), 0);
}

int liveDropTargets() { return win32::liveDropTargets(); }

bool realDrags() { return true; }

std::string scratchFolder() {
  char folder[MAX_PATH] = "";
  const DWORD length = GetTempPathA(MAX_PATH, folder);
  return length > 0 && length < MAX_PATH ? std::string(folder) : std::string(".\\");
}

bool createShortcut(const std::string& path, const std::string& target) {
  const HRESULT init = OleInitialize(nullptr);
  bool saved = false;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->SetPath(target.c_str())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      std::wstring wide(path.size() + 1, L'\0');
      MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
      saved = SUCCEEDED(file->Save(wide.c_str(), TRUE));
      file->Release();
    }
    link->Release();
  }
  if (SUCCEEDED(init)) OleUninitialize();
  return saved;
}

std::string shortPath(const std::string& path) {
  char buffer[MAX_PATH] = "";
  const DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(buffer) : std::string();
}

}  // namespace kestrane::platform::testdrop
