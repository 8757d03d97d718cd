#include "MessageBoxes.h"

#include <cstdio>
#include <string>

#include "ImportPatch.h"
#include "Text.h"

namespace sim {
namespace {

int Print(const std::string& caption, const std::string& text, UINT type) {
  std::fprintf(stderr, "brindlewick-sim: message box \"%s\": %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  switch (type & MB_TYPEMASK) {
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    case MB_CANCELTRYCONTINUE: return IDCANCEL;
    default: return IDOK;
  }
}

int WINAPI PrintedMessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  return Print(caption ? Utf8FromCodePage(caption) : "Error", text ? Utf8FromCodePage(text) : "", type);
}

int WINAPI PrintedMessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
  return Print(caption ? Utf8FromWide(caption) : "Error", text ? Utf8FromWide(text) : "", type);
}

}  // namespace

void InterceptMessageBoxes(HMODULE module) {
  PatchImport(module, "MessageBoxA", reinterpret_cast<void*>(&PrintedMessageBoxA));
  PatchImport(module, "MessageBoxW", reinterpret_cast<void*>(&PrintedMessageBoxW));
}

}  // namespace sim
