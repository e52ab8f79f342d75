#!/usr/bin/env bash
# Checks that the source keeps its layering, which the include path rooted at src/ would let
# slip without a link error:
#   - only src/platform/win32 includes Windows system headers, and only src/platform/x11 X11
#     ones (the platform seam);
#   - params includes nothing of the other layers, engine only params, platform nothing;
#   - the effect core includes only engine and params; a format adapter (shell for VST 2.x,
#     lv2 for LV2) never includes the other;
#   - the toolkit (gui) never includes the editor or a format adapter: it reaches its host only
#     through gui/EditorHost.h; the editor includes no format adapter either;
#   - the VST 2.x effect classes include no toolkit or editor (only the shell's editor binding,
#     VstEditor.h, and the editor factory bind them in);
#   - the plug-in host reaches the plug-in through its records (shell/VstAbi.h) and the
#     library loader (platform/Library.h) only.
#   scripts/check-layers.sh [source-root]     (a CTest test in the native builds: source.layers)
set -uo pipefail

root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
cd "$root/src" || exit 1
failed=0

# violations <description> <grep -E pattern for the include> <grep arguments: folders...>
violations() {
  local what=$1 pattern=$2
  shift 2
  local hits
  hits=$(grep -rnEi --include='*.h' --include='*.cpp' --include='*.inc' "$pattern" "$@")
  if [ -n "$hits" ]; then
    echo "FAIL: $what"
    sed 's/^/  /' <<< "$hits"
    failed=1
  fi
}

include='^[[:space:]]*#[[:space:]]*include[[:space:]]*'
system='(windows|win[a-z0-9]*|ole[a-z0-9]*|obj[a-z]+|unknwn|shl[a-z]+|shellapi|shobjidl'
system+='|commctrl|commdlg|mmsystem|dwmapi|uxtheme)'
violations "Windows headers outside src/platform/win32" "$include[<\"]$system\.h[>\"]" \
  --exclude-dir=win32 .
violations "X11 headers outside src/platform/x11" "$include[<\"](X11|xcb)/" --exclude-dir=x11 .
violations "params includes another layer" "$include\"(engine|core|shell|lv2|gui|editor|platform)/" \
  params
violations "engine includes a layer above it" "$include\"(core|shell|lv2|gui|editor|platform)/" engine
violations "the effect core includes a layer above it" \
  "$include\"(shell|lv2|gui|editor|platform)/" core
violations "the VST 2.x shell includes the LV2 adapter" "$include\"lv2/" shell
violations "the LV2 adapter includes the VST 2.x shell" "$include\"shell/" lv2
violations "platform includes a layer above it" "$include\"(params|engine|core|shell|lv2|gui|editor)/" \
  platform
violations "the toolkit includes the editor or a format adapter" "$include\"(editor|shell|lv2)/" gui
violations "the editor includes a format adapter" "$include\"(shell|lv2)/" editor
violations "the VST 2.x effect classes include the toolkit or the editor" "$include\"(gui|editor)/" \
  --exclude=VstEditor.h --exclude=EditorFactory.cpp shell
violations "the host includes more than the plug-in's records and the loader" \
  "$include\"((params|engine|gui|editor)/|shell/([^V]|Vst[^A])|platform/[^L])" host

[ "$failed" = 0 ] && echo "ok: layering holds"
exit "$failed"
